#pragma once

#include <string>

namespace breezel {

/// Modal message boxes.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    /// Shows text with an OK button and no icon; returns when the user dismisses it.
    virtual void showOk(const std::string& text, const std::string& title) = 0;
};

}  // namespace breezel
