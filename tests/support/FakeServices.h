#pragma once

#include <string>
#include <vector>

#include "platform/MailLibrary.h"
#include "platform/ProcessControl.h"
#include "platform/SoundDevice.h"

namespace breezel {

/// Records every call as one line of text, in order, for all fakes that share it.
using CallLog = std::vector<std::string>;

/// Mail library that records its start-up and shutdown calls.
class FakeMailLibrary : public MailLibrary {
public:
    explicit FakeMailLibrary(CallLog& log) : log_(log) {}
    int NMailInitializeWinSock() override;
    int NMailSetOption(int option, int value) override;
    int NMailEndWinSock() override;

private:
    CallLog& log_;
};

/// Sound device that records the media commands it is sent, written as command strings
/// ("open \"PATH\" alias bgm", "play bgm", "play bgm from 0", "stop bgm", "close bgm").
class FakeSoundDevice : public SoundDevice {
public:
    explicit FakeSoundDevice(CallLog& log) : log_(log) {}
    bool open(const std::string& path, const std::string& alias) override;
    void play(const std::string& alias) override;
    void playFromStart(const std::string& alias) override;
    std::string mode(const std::string& alias) override;
    void stop(const std::string& alias) override;
    void close(const std::string& alias) override;

private:
    CallLog& log_;
    std::vector<std::string> open_;
};

/// Records that the process was ended instead of ending it.
class FakeProcessControl : public ProcessControl {
public:
    explicit FakeProcessControl(CallLog& log) : log_(log) {}
    void endProcess() override { log_.push_back("end process"); }

private:
    CallLog& log_;
};

}  // namespace breezel
