#include "qt/LazySoundDevice.h"

#include <dlfcn.h>

namespace breezel {

LazySoundDevice::LazySoundDevice() = default;
LazySoundDevice::~LazySoundDevice() = default;

bool LazySoundDevice::open(const std::string& path, const std::string& alias) {
    if (!tried_) {
        tried_ = true;
        // Looked up through the program's run path: its own folder, or the build's. The module
        // stays loaded for the rest of the run.
        if (void* module = dlopen(kModule, RTLD_NOW | RTLD_LOCAL)) {
            using Maker = SoundDevice* (*)();
            if (auto make = reinterpret_cast<Maker>(dlsym(module, kMaker))) {
                device_.reset(make());
            }
        }
    }
    return device_ != nullptr && device_->open(path, alias);
}

void LazySoundDevice::forward(void (SoundDevice::*verb)(const std::string&),
                              const std::string& alias) {
    if (device_) {
        (device_.get()->*verb)(alias);
    }
}

void LazySoundDevice::play(const std::string& alias) {
    forward(&SoundDevice::play, alias);
}

void LazySoundDevice::playFromStart(const std::string& alias) {
    forward(&SoundDevice::playFromStart, alias);
}

std::string LazySoundDevice::mode(const std::string& alias) {
    return device_ ? device_->mode(alias) : std::string();
}

void LazySoundDevice::stop(const std::string& alias) {
    forward(&SoundDevice::stop, alias);
}

void LazySoundDevice::close(const std::string& alias) {
    forward(&SoundDevice::close, alias);
}

}  // namespace breezel
