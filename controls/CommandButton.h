#pragma once

#include <string>
#include <utility>

#include "controls/Control.h"

namespace breezel {

/// A push button or a clickable picture. Menus and other forms perform its click the same way
/// the user does.
class CommandButton : public Control {
public:
    explicit CommandButton(Rect rect = {}, std::string caption = {})
        : Control(rect), caption_(std::move(caption)) {}

    const std::string& caption() const { return caption_; }

    /// Performs the click.
    void click() { onClick.notify(); }

    Signal<> onClick;

private:
    std::string caption_;
};

}  // namespace breezel
