#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/SoundDevice.h"

namespace breezel {

/// Sound through Qt Multimedia's sound effects (16-bit PCM WAV files). Like a media control
/// device, a sound that has played to its end stays there: playing on from the end is silence
/// until it is played from the start. Without any audio output the open fails, so nothing can
/// report "playing" forever. Built as a module of its own, which LazySoundDevice loads when the
/// first sound is opened.
class QtSoundDevice : public SoundDevice {
public:
    QtSoundDevice();
    ~QtSoundDevice() override;

    bool open(const std::string& path, const std::string& alias) override;
    void play(const std::string& alias) override;
    void playFromStart(const std::string& alias) override;
    std::string mode(const std::string& alias) override;
    void stop(const std::string& alias) override;
    void close(const std::string& alias) override;

private:
    struct Device;
    Device* find(const std::string& alias);

    std::map<std::string, std::unique_ptr<Device>> devices_;
};

}  // namespace breezel
