#pragma once

#include <string>

namespace breezel {

/// Modal message boxes.
class MessageBox {
public:
    enum class Icon { None, Exclamation };

    virtual ~MessageBox() = default;
    /// Shows text with an OK button; returns when the user dismisses it. An empty title gives
    /// the program's name.
    virtual void showOk(const std::string& text, const std::string& title,
                        Icon icon = Icon::None) = 0;
    /// Asks a question with Yes and No buttons and the question icon; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
};

}  // namespace breezel
