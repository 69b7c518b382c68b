#pragma once

#include <string>
#include <utility>

#include "controls/Control.h"

namespace breezel {

/// A label showing a caption.
class Label : public Control {
public:
    explicit Label(Rect rect = {}, std::string caption = {})
        : Control(rect), caption_(std::move(caption)) {}

    const std::string& caption() const { return caption_; }

    void setCaption(std::string caption) {
        if (caption != caption_) {
            caption_ = std::move(caption);
            changed.notify();
        }
    }

private:
    std::string caption_;
};

}  // namespace breezel
