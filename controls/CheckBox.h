#pragma once

#include <string>
#include <utility>

#include "controls/Control.h"

namespace breezel {

/// A check box holding 0 (clear) or 1 (ticked). Any change of the value, by the user or by
/// code, runs its Click event, as the forms rely on.
class CheckBox : public Control {
public:
    explicit CheckBox(Rect rect = {}, std::string caption = {}, int value = 0)
        : Control(rect), caption_(std::move(caption)), value_(value) {}

    const std::string& caption() const { return caption_; }
    int value() const { return value_; }

    void setValue(int value) {
        if (value == value_) {
            return;
        }
        value_ = value;
        changed.notify();
        onClick.notify();
    }

    /// Applies a stored on/off number: 1 ticks, 0 clears, anything else leaves the box.
    void applyStored(int stored) {
        if (stored == 0 || stored == 1) {
            setValue(stored);
        }
    }

    /// The Click event, for the form's reactions.
    Signal<> onClick;

private:
    std::string caption_;
    int value_;
};

}  // namespace breezel
