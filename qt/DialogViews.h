#pragma once

#include <vector>

#include "qt/FormView.h"

namespace breezel {

class IdPassForm;
class MailboxForm;
class MailboxListForm;
class OptionForm;
class SetForm;

/// The preferences dialog "設定".
class SetFormView : public FormView {
public:
    SetFormView(SetForm& form, std::function<void()> onClose);
};

/// The account dialog "ID,PASS".
class IdPassFormView : public FormView {
public:
    IdPassFormView(IdPassForm& form, std::function<void()> onClose);
};

/// The server settings dialog "サーバー設定".
class OptionFormView : public FormView {
public:
    OptionFormView(OptionForm& form, std::function<void()> onClose);
};

/// The list of every mailbox "メールボックスの一覧".
class MailboxListFormView : public FormView {
public:
    MailboxListFormView(MailboxListForm& form, std::function<void()> onClose);

private:
    // Both ways cut when the form goes, as the bindings are.
    std::vector<ScopedConnection> shown_;
    QObject* input_;
};

/// The dialog of one further mailbox.
class MailboxFormView : public FormView {
public:
    MailboxFormView(MailboxForm& form, std::function<void()> onClose);

private:
    std::vector<ScopedConnection> shown_;
    QObject* input_;
};

}  // namespace breezel
