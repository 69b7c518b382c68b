#pragma once

#include <string>

namespace breezel {

/// A media player addressed by alias, with the verbs of a media control interface. Every
/// failure is silent and harmless: a failed command has no effect.
class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    /// Opens the sound file under the alias; fails (returns false) when the alias is in use or
    /// the file cannot be played.
    virtual bool open(const std::string& path, const std::string& alias) = 0;
    /// Plays from the current position.
    virtual void play(const std::string& alias) = 0;
    /// Plays from the beginning.
    virtual void playFromStart(const std::string& alias) = 0;
    /// The device's mode: "playing", "stopped" once playback has ended; "" when not open.
    virtual std::string mode(const std::string& alias) = 0;
    /// Stops playback and keeps the device open.
    virtual void stop(const std::string& alias) = 0;
    /// Closes the device and frees the alias.
    virtual void close(const std::string& alias) = 0;
};

}  // namespace breezel
