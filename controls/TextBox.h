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

    /// What the box tells when the pointer rests on it (plain text; lines end with \n).
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string tip) {
        if (tip != toolTip_) {
            toolTip_ = std::move(tip);
            changed.notify();
        }
    }

    /// The Change event, for the form's reactions.
    Signal<> onChange;

private:
    std::string text_;
    std::string toolTip_;
};

}  // namespace breezel
