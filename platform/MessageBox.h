#pragma once

#include <functional>
#include <string>

namespace breezel {

/// Message boxes. They are modal for the user but hold nothing back: a box is shown and the
/// call returns; the answer comes back later from the event loop. Their text is always shown
/// as plain text, whatever it holds.
class MessageBox {
public:
    enum class Icon { None, Exclamation };

    virtual ~MessageBox() = default;
    /// Shows text with an OK button; dismissed runs when the user has dismissed it. An empty
    /// title gives the program's name.
    virtual void showOk(const std::string& text, const std::string& title, Icon icon,
                        std::function<void()> dismissed) = 0;
    /// Asks a question with Yes and No buttons and the question icon; answered gets true for
    /// Yes.
    virtual void askYesNo(const std::string& text, const std::string& title,
                          std::function<void(bool yes)> answered) = 0;
};

}  // namespace breezel
