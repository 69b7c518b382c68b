#pragma once

#include <string>
#include <utility>

#include "app/controls/Geometry.h"
#include "app/controls/Signal.h"

namespace breezel {

/// What every control of a form has: a name, a place, and a signal for its observers.
/// Controls hold the program's run-time state; views only show them.
class Control {
public:
    Control(std::string name, Rect rect) : name_(std::move(name)), rect_(rect) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    const std::string& name() const { return name_; }
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
    std::string name_;
    Rect rect_;
};

}  // namespace breezel
