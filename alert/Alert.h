#pragma once

namespace breezel {

class FormContext;

/// The wind chime's sound and the alert's start and reset. The sound plays under the alias
/// "bgm", one device at a time; a poll notices its end and plays it again while the loop box is
/// ticked, or closes the device.
class Alert {
public:
    explicit Alert(FormContext& context) : context_(context) {}

    /// Alert start ("確認♪", and a check that found mail): the sound unless muted, and the
    /// wind-chime window.
    void start();
    /// Alert reset ("戻す"): silence, the fan restarted, the wind-chime window closed.
    void reset();
    /// The 100 ms poll of the sound. Its timer rests while no sound is open.
    void poll();
    /// Stops and closes the sound (mute box changed, start-up, shutdown).
    void silence();

private:
    FormContext& context_;
};

}  // namespace breezel
