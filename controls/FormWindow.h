#pragma once

#include <string>
#include <utility>

#include "controls/Geometry.h"
#include "controls/Signal.h"

namespace breezel {

/// The window of a form: caption, visibility, stacking and client size in twips.
class FormWindow {
public:
    FormWindow(std::string caption, Twips clientWidth, Twips clientHeight)
        : caption_(std::move(caption)), clientWidth_(clientWidth), clientHeight_(clientHeight) {}
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    const std::string& caption() const { return caption_; }
    bool visible() const { return visible_; }
    bool topmost() const { return topmost_; }
    Twips clientWidth() const { return clientWidth_; }
    Twips clientHeight() const { return clientHeight_; }
    /// The window's outer position on the screen; the view reports where it really is.
    Twips left() const { return left_; }
    Twips top() const { return top_; }
    /// Whether a position was ever set or reported; until then the view places the window.
    bool placed() const { return placed_; }
    /// Whether the user cannot see the window at all: hidden, minimized or unmapped, as the
    /// view reports. Without a view it counts as seen.
    bool unseen() const { return unseen_; }

    void setCaption(std::string caption) { update(caption_, std::move(caption)); }
    void setVisible(bool visible) { update(visible_, visible); }
    void setTopmost(bool topmost) { update(topmost_, topmost); }
    void setClientSize(Twips width, Twips height) {
        update(clientWidth_, width);
        update(clientHeight_, height);
    }
    /// Moves the window (or records where the view has put it).
    void setPosition(Twips left, Twips top) {
        if (!placed_ || left != left_ || top != top_) {
            left_ = left;
            top_ = top;
            placed_ = true;
            changed.notify();
        }
    }

    /// The view's report of whether the window can be seen.
    void setUnseen(bool unseen) { update(unseen_, unseen); }

    /// Shows the window and brings it to the front, also when it is shown already.
    void show() {
        visible_ = true;
        changed.notify();
        raised.notify();
    }

    /// Minimizes the window to the task bar; it stays visible there.
    void minimize() { minimized.notify(); }

    Signal<> changed;
    /// Asks the view to bring the window forward.
    Signal<> raised;
    /// Asks the view to minimize the window.
    Signal<> minimized;

private:
    template <typename T>
    void update(T& field, T value) {
        if (field != value) {
            field = std::move(value);
            changed.notify();
        }
    }

    std::string caption_;
    Twips clientWidth_;
    Twips clientHeight_;
    Twips left_ = 0;
    Twips top_ = 0;
    bool placed_ = false;
    bool visible_ = false;
    bool topmost_ = false;
    bool unseen_ = false;
};

}  // namespace breezel
