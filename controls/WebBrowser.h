#pragma once

#include <string>
#include <utility>

#include "controls/Control.h"

namespace breezel {

/// The embedded view that shows the animated fan picture. Navigating loads the address again
/// and restarts the animation from its first frame, even for the same address.
class WebBrowser : public Control {
public:
    using Control::Control;

    const std::string& locationUrl() const { return url_; }
    /// How many times it has been navigated; lets a view notice a reload of the same address.
    int navigations() const { return navigations_; }

    void navigate(std::string url) {
        url_ = std::move(url);
        ++navigations_;
        changed.notify();
    }

private:
    std::string url_;
    int navigations_ = 0;
};

}  // namespace breezel
