#include "qt/QtSoundDevice.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace breezel {

struct QtSoundDevice::Device {
    QUrl source;
    std::unique_ptr<QSoundEffect> effect;
    // Asked to play and not yet seen playing: the effect may still be loading the file.
    bool starting = false;
    // Played to its end, or stopped by command.
    bool stopped = true;
    bool atEnd = false;
};

namespace {

// Gives the device a new effect for its sound. Qt 6.4's sound effect, played again from the
// start, opens its output with half the buffer it had before: from the fifth play on the
// buffer is too small to be fed and the sound falls silent for many seconds while the effect
// still says it plays. A fresh effect starts with the full buffer; the decoded sound itself is
// shared through Qt's sample cache, so the file is not read again.
template <typename Device>
void Arm(Device& device) {
    if (device.effect) {
        // The old effect's last signals must not reach the device any more.
        QObject::disconnect(device.effect.get(), nullptr, nullptr, nullptr);
        device.effect.reset();
    }
    device.effect = std::make_unique<QSoundEffect>();
    QSoundEffect* effect = device.effect.get();
    Device* raw = &device;
    QObject::connect(effect, &QSoundEffect::playingChanged, [raw, effect] {
        if (effect->isPlaying()) {
            raw->starting = false;
        } else if (!raw->starting && !raw->stopped) {
            raw->atEnd = true;
            raw->stopped = true;
        }
    });
    // A file that cannot be decoded behaves as one played to its end.
    QObject::connect(effect, &QSoundEffect::statusChanged, [raw, effect] {
        if (effect->status() == QSoundEffect::Error) {
            raw->starting = false;
            raw->stopped = true;
            raw->atEnd = true;
        }
    });
    effect->setSource(device.source);
}

}  // namespace

QtSoundDevice::QtSoundDevice() = default;
QtSoundDevice::~QtSoundDevice() = default;

QtSoundDevice::Device* QtSoundDevice::find(const std::string& alias) {
    const auto it = devices_.find(alias);
    return it == devices_.end() ? nullptr : it->second.get();
}

bool QtSoundDevice::open(const std::string& path, const std::string& alias) {
    if (find(alias) != nullptr) {
        return false;
    }
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isFile() || QMediaDevices::audioOutputs().isEmpty()) {
        return false;
    }
    auto device = std::make_unique<Device>();
    device->source = QUrl::fromLocalFile(file);
    Arm(*device);
    devices_[alias] = std::move(device);
    return true;
}

void QtSoundDevice::play(const std::string& alias) {
    Device* device = find(alias);
    // Playing on: a running sound continues, one at its end stays silent.
    if (device == nullptr || device->atEnd || !device->stopped) {
        return;
    }
    device->stopped = false;
    device->starting = true;
    device->effect->play();
}

void QtSoundDevice::playFromStart(const std::string& alias) {
    Device* device = find(alias);
    if (device == nullptr || device->effect->status() == QSoundEffect::Error) {
        return;
    }
    device->atEnd = false;
    device->stopped = false;
    device->starting = true;
    Arm(*device);
    device->effect->play();
}

std::string QtSoundDevice::mode(const std::string& alias) {
    Device* device = find(alias);
    if (device == nullptr) {
        return {};
    }
    return device->stopped ? "stopped" : "playing";
}

void QtSoundDevice::stop(const std::string& alias) {
    if (Device* device = find(alias)) {
        device->stopped = true;
        device->starting = false;
        device->effect->stop();
    }
}

void QtSoundDevice::close(const std::string& alias) {
    devices_.erase(alias);
}

}  // namespace breezel

// The module's one entry: the loader in the program asks it for a device.
extern "C" __attribute__((visibility("default"))) breezel::SoundDevice* BreezelMakeSoundDevice() {
    return new breezel::QtSoundDevice;
}
