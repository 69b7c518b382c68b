#pragma once

#include "controls/Geometry.h"
#include "controls/Signal.h"

namespace breezel {

/// What every control of a form has: a place, and a signal for its observers.
/// Controls hold the program's run-time state; views only show them.
class Control {
public:
    explicit Control(Rect rect = {}) : rect_(rect) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    const Rect& rect() const { return rect_; }

    /// Moves the control inside its container.
    void setLeft(Twips left) {
        if (rect_.left != left) {
            rect_.left = left;
            changed.notify();
        }
    }

    /// Any property changed; views re-read the control.
    Signal<> changed;

private:
    Rect rect_;
};

}  // namespace breezel
