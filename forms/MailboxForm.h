#pragma once

#include <string>

#include "controls/CheckBox.h"
#include "controls/CommandButton.h"
#include "controls/Form.h"
#include "controls/Label.h"
#include "controls/TextBox.h"
#include "net/Mailbox.h"

namespace breezel {

class FormContext;

/// The dialog that adds or edits one further mailbox: its name, server name, ID, password,
/// whether it is checked, and the IMAP folders watched besides INBOX. On OK the password goes to
/// the secret store and the mailbox into its file; nothing is kept when it is cancelled.
class MailboxForm : public Form {
public:
    explicit MailboxForm(FormContext& context);

    /// Load step: hidden and empty, until the list asks for a new mailbox or an edit.
    void Form_Load();
    /// Empties the fields for a new mailbox and shows the dialog. While the dialog is open
    /// already, as for beginEdit, it only comes forward: what was typed in it is not lost.
    void beginNew();
    /// Fills the fields from a saved mailbox (the password left empty: kept unless retyped).
    void beginEdit(const net::Mailbox& mailbox);
    /// OK: checks the fields, keeps the password, saves the mailbox and closes; a field that
    /// cannot be used is named in a box and the dialog stays open.
    void OKCommand_Click();
    /// Cancel: closes without saving.
    void CancelCommand_Click();

    /// The key of the mailbox edited; empty while a new one is written.
    const std::string& key() const { return key_; }
    /// Whether the server name typed signs in with a password (not a token).
    bool passwordWanted() const;

    /// Whether the server name typed is IMAP, whose folders can be chosen.
    bool foldersWanted() const;

    Label Label1{{}, "名前(&N)"};
    TextBox NameText;
    Label Label2{{}, "サーバー名(&S)"};
    TextBox ServerText;
    Label Label3{{}, "例: pop3s://pop.example.jp　imaps://imap.example.jp"};
    Label Label4{{}, "ID(&I)"};
    TextBox IdText;
    Label Label5{{}, "パスワード(&W)"};
    TextBox PassText;
    /// Says what an empty password means for the server name typed.
    Label Label6;
    CheckBox EnabledCheck{{}, "有効(&E)", 1};
    Label Label7{{}, "INBOX のほかに見るフォルダー（IMAP、1行に1つ）(&F)"};
    /// One folder a line.
    TextBox FolderText;
    CommandButton OKCommand{{}, "設定"};
    CommandButton CancelCommand{{}, "中止"};

private:
    /// Brings the open dialog forward; false when it is not open.
    bool keepOpenEdit();
    void showPasswordHint();
    /// The first unusable field's message; empty when all can be saved.
    std::string problem() const;

    FormContext& context_;
    std::string key_;
    // An edited mailbox that signed in with a token has no password kept to fall back on.
    bool storedPassword_ = false;
};

}  // namespace breezel
