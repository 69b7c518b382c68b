#include "platform/qt/QtSoundDevice.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

#include "platform/qt/Bindings.h"

namespace breezel {

struct QtSoundDevice::Device {
    QAudioOutput output;
    QMediaPlayer player;
    bool atEnd = false;
    bool stopped = true;
};

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
    const QString file = ToQString(path);
    if (!QFileInfo(file).isFile() || QMediaDevices::audioOutputs().isEmpty()) {
        return false;
    }
    auto device = std::make_unique<Device>();
    Device* raw = device.get();
    raw->player.setAudioOutput(&raw->output);
    QObject::connect(&raw->player, &QMediaPlayer::mediaStatusChanged,
                     [raw](QMediaPlayer::MediaStatus status) {
                         if (status == QMediaPlayer::EndOfMedia) {
                             raw->atEnd = true;
                             raw->stopped = true;
                         }
                     });
    QObject::connect(&raw->player, &QMediaPlayer::errorOccurred, [raw] {
        raw->stopped = true;
        raw->atEnd = true;
    });
    raw->player.setSource(QUrl::fromLocalFile(file));
    devices_[alias] = std::move(device);
    return true;
}

void QtSoundDevice::play(const std::string& alias) {
    Device* device = find(alias);
    // Played to its end, the sound stays there: playing on from the end is silence.
    if (device == nullptr || device->atEnd) {
        return;
    }
    device->stopped = false;
    device->player.play();
}

void QtSoundDevice::playFromStart(const std::string& alias) {
    Device* device = find(alias);
    if (device == nullptr) {
        return;
    }
    device->atEnd = false;
    device->stopped = false;
    device->player.setPosition(0);
    device->player.play();
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
        device->player.pause();
    }
}

void QtSoundDevice::close(const std::string& alias) {
    devices_.erase(alias);
}

}  // namespace breezel
