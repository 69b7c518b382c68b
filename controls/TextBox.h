#pragma once

#include <string>
#include <utility>

#include "controls/Control.h"

namespace breezel {

/// A text box; its Change event runs only when the text really changes.
class TextBox : public Control {
public:
    explicit TextBox(Rect rect = {}, std::string text = {})
        : Control(rect), text_(std::move(text)) {}

    const std::string& text() const { return text_; }

    void setText(std::string text) {
        if (text == text_) {
            return;
        }
        text_ = std::move(text);
        changed.notify();
        onChange.notify();
    }

    /// The Change event, for the form's reactions.
    Signal<> onChange;

private:
    std::string text_;
};

}  // namespace breezel
