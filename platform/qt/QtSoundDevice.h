#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/SoundDevice.h"

class QAudioOutput;
class QMediaPlayer;

namespace breezel {

/// Sound through Qt Multimedia. Like a media control interface, playback continues from where
/// it is: a sound that has played to its end stays at the end until played from the start.
/// Without any audio output the open fails, so nothing reports "playing" forever.
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
