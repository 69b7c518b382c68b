#pragma once

#include "controls/CheckBox.h"
#include "controls/CommandButton.h"
#include "controls/Form.h"
#include "controls/Label.h"
#include "controls/TextBox.h"

namespace breezel {

class FormContext;

/// The account dialog "ID,PASS": the POP3 user ID and password, saved to the account file when
/// its save box is ticked.
class IdPassForm : public Form {
public:
    explicit IdPassForm(FormContext& context);

    /// Load step: fills the ID and password from the account file.
    void Form_Load();
    /// OK: takes the account for this run, saves it when asked, records the choice, closes.
    void OKCommand_Click();
    /// Cancel: closes without changes.
    void CancelCommand_Click();

    Label Label1{{}, "ID"};
    TextBox IdText;
    Label Label2_0{{}, "Password"};
    TextBox PassText;
    CheckBox Check1;
    Label Label2_1{{}, "IDパスワードを保存する"};
    CommandButton OKCommand{{}, "OK"};
    CommandButton CancelCommand{{}, "Cancel"};

private:
    FormContext& context_;
};

}  // namespace breezel
