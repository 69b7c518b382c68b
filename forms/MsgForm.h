#pragma once

#include "controls/Form.h"
#include "controls/TextBox.h"

namespace breezel {

class FormContext;

/// The new-mail notice board: a thin window on top of all others with a message and the number
/// of messages in the mailbox. There is only ever one board.
class MsgForm : public Form {
public:
    explicit MsgForm(FormContext& context);

    /// Load step: the board is topmost and visible from the moment it is loaded.
    void Form_Load();

    TextBox Text1{{0, 0, 3135, 270}, "新着メールがあります。"};
    TextBox Text2{{3120, 0, 495, 270}};
};

}  // namespace breezel
