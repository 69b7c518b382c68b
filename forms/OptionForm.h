#pragma once

#include "controls/CheckBox.h"
#include "controls/CommandButton.h"
#include "controls/Form.h"
#include "controls/Label.h"
#include "controls/TextBox.h"

namespace breezel {

class FormContext;

/// The server settings dialog "サーバー設定": edits the four server settings and rewrites
/// vbmail.ini on OK. It exists only while shown and stays above ordinary windows.
class OptionForm : public Form {
public:
    explicit OptionForm(FormContext& context);

    /// Load step: topmost and shown, fields from the shared variables.
    void Form_Load();
    /// OK: the fields into the shared variables, the file rewritten, the dialog closed.
    void OKCommand_Click();
    /// Cancel: closes without saving.
    void CancelCommand_Click();

    Label Label1{{}, "SMTPサーバー名(&S)"};
    TextBox SmtpText;
    Label Label2{{}, "POP3サーバー名(&P)"};
    TextBox Pop3Text;
    Label Label3{{}, "メールアドレス(&M)"};
    TextBox MailText;
    CheckBox ApopCheck{{}, "APOP を使用する(&A)"};
    CommandButton OKCommand{{}, "設定"};
    CommandButton CancelCommand{{}, "中止"};

private:
    FormContext& context_;
};

}  // namespace breezel
