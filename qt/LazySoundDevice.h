#pragma once

#include <memory>
#include <string>

#include "platform/SoundDevice.h"

namespace breezel {

/// The sound device, loaded when a sound is first opened: Qt Multimedia and the sound server's
/// client (some 1.5 MB) stay out of a program that never rings. Until then nothing is open, so
/// every verb but open has nothing to act on. A module that cannot be loaded fails the open,
/// silently, as a device without sound output does.
class LazySoundDevice : public SoundDevice {
public:
    LazySoundDevice();
    ~LazySoundDevice() override;

    bool open(const std::string& path, const std::string& alias) override;
    void play(const std::string& alias) override;
    void playFromStart(const std::string& alias) override;
    std::string mode(const std::string& alias) override;
    void stop(const std::string& alias) override;
    void close(const std::string& alias) override;

    /// The module's file name; the loader finds it beside the program.
    static constexpr const char* kModule = "libbreezel_sound.so";
    /// The function of the module that makes its device.
    static constexpr const char* kMaker = "BreezelMakeSoundDevice";

private:
    // A verb reaches the loaded device; before, nothing is open for it to act on.
    void forward(void (SoundDevice::*verb)(const std::string&), const std::string& alias);

    std::unique_ptr<SoundDevice> device_;
    bool tried_ = false;
};

}  // namespace breezel
