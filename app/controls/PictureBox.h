#pragma once

#include "app/controls/CommandButton.h"

namespace breezel {

/// A picture or picture container; clickable like a button. What it shows is the view's.
class PictureBox : public CommandButton {
public:
    PictureBox(std::string name, Rect rect) : CommandButton(std::move(name), rect) {}

    /// The pointer moved over the picture.
    void mouseMove() { onMouseMove.notify(); }

    Signal<> onMouseMove;
};

}  // namespace breezel
