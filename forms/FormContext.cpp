#include "forms/FormContext.h"

#include "common/FileUrl.h"
#include "forms/Form1.h"
#include "forms/IdPassForm.h"
#include "forms/MailboxForm.h"
#include "forms/MailboxListForm.h"
#include "forms/MainForm.h"
#include "forms/MsgForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "platform/TimerDriver.h"
#include "settings/MailboxFile.h"
#include "settings/ProfileKeys.h"

namespace breezel {

FormContext::FormContext(Services services, std::string programFolder)
    : services_(services), programFolder_(std::move(programFolder)) {}

FormContext::~FormContext() {
    destroyForms();
}

void FormContext::destroyForms() {
    reactions_.cancelAll();
    // Other windows first: their timers and views may refer to the main window.
    destroy(mailboxForm_);
    destroy(mailboxListForm_);
    destroy(form1_);
    destroy(msgForm_);
    destroy(optionForm_);
    destroy(idPassForm_);
    destroy(setForm_);
    destroy(mainForm_);
}

MainForm& FormContext::createMainForm() {
    mainForm_ = std::make_unique<MainForm>(*this);
    adopt(*mainForm_);
    return *mainForm_;
}

void FormContext::adopt(Form& form) {
    for (Timer* timer : form.timers()) {
        services_.timers.attach(*timer);
    }
    formCreated.notify(form);
}

MainForm& FormContext::mainForm() {
    // The main window is created first; every other form refers to it.
    return *mainForm_;
}

template <typename F>
F& FormContext::create(std::unique_ptr<F>& slot) {
    if (!slot) {
        slot = std::make_unique<F>(*this);
        F& form = *slot;
        adopt(form);
        // A use of the dialog's controls from inside its own load step finds this object.
        form.Form_Load();
    }
    return *slot;
}

template <typename F>
void FormContext::destroy(std::unique_ptr<F>& slot) {
    if (!slot) {
        return;
    }
    // Taken out first, so that a use during destruction creates a fresh dialog.
    std::unique_ptr<F> form = std::move(slot);
    for (Timer* timer : form->timers()) {
        services_.timers.detach(*timer);
    }
    form.reset();
}

SetForm& FormContext::setForm() {
    return create(setForm_);
}
IdPassForm& FormContext::idPassForm() {
    return create(idPassForm_);
}
OptionForm& FormContext::optionForm() {
    return create(optionForm_);
}
MsgForm& FormContext::msgForm() {
    return create(msgForm_);
}
Form1& FormContext::form1() {
    return create(form1_);
}
MailboxListForm& FormContext::mailboxListForm() {
    return create(mailboxListForm_);
}
MailboxForm& FormContext::mailboxForm() {
    return create(mailboxForm_);
}

void FormContext::closeSetForm() {
    if (setForm_) {
        setForm_->Form_Unload();
        destroy(setForm_);
    }
}
void FormContext::closeIdPassForm() {
    destroy(idPassForm_);
}
void FormContext::closeOptionForm() {
    destroy(optionForm_);
}
void FormContext::closeMsgForm() {
    destroy(msgForm_);
}
void FormContext::closeForm1() {
    destroy(form1_);
}
void FormContext::closeMailboxListForm() {
    destroy(mailboxListForm_);
}
void FormContext::closeMailboxForm() {
    destroy(mailboxForm_);
}

std::string FormContext::fanPictureUrl() const {
    return FileUrl(programFile("/画像データ/FanMove.gif"));
}

IniFile FormContext::preferences() const {
    return IniFile(programFolder_ + "/★MailData/ini.ini");
}

IniFile FormContext::accountFile() const {
    return IniFile(programFolder_ + "/★MailData/iniIdPass.ini", FileAccess::OwnerOnly);
}

std::filesystem::path FormContext::mailboxesFile() const {
    return std::filesystem::path(programFolder_) / "★MailData" / "mailboxes.ini";
}

net::Mailbox FormContext::savedFirstMailbox() const {
    const IniFile file = accountFile();
    SharedSettings settings = settings_;
    settings.AccountId = file.readString(profile::kSection, profile::kAccountId, "");
    settings.AccountPassword = file.readString(profile::kSection, profile::kPassword, "");
    return FirstMailbox(settings);
}

std::vector<net::Mailbox> FormContext::furtherMailboxes() const {
    return LoadMailboxes(mailboxesFile());
}

std::string FormContext::newMailboxKey() {
    std::vector<net::Mailbox> taken = furtherMailboxes();
    for (const std::string& key : givenMailboxKeys_) {
        taken.emplace_back().key = key;
    }
    std::string key = NewMailboxKey(taken);
    givenMailboxKeys_.insert(key);
    return key;
}

}  // namespace breezel
