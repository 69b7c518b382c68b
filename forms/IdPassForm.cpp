#include "forms/IdPassForm.h"

#include "forms/FormContext.h"
#include "settings/ProfileKeys.h"

namespace breezel {

IdPassForm::IdPassForm(FormContext& context)
    : Form("IdPassForm", "ID,PASS", 0, 0), context_(context) {
    OKCommand.onClick.connect([this] { OKCommand_Click(); });
    CancelCommand.onClick.connect([this] { CancelCommand_Click(); });
}

void IdPassForm::Form_Load() {
    const IniFile account = context_.accountFile();
    IdText.setText(account.readString(profile::kSection, profile::kAccountId, ""));
    PassText.setText(account.readString(profile::kSection, profile::kPassword, ""));
    // The save box remembers the user's last choice.
    Check1.applyStored(account.readInt(profile::kSection, profile::kSaveAccount, 0));
}

void IdPassForm::OKCommand_Click() {
    SharedSettings& settings = context_.settings();
    settings.AccountId = IdText.text();
    settings.AccountPassword = PassText.text();
    IniFile account = context_.accountFile();
    if (Check1.value() != 0) {
        account.writeString(profile::kSection, profile::kAccountId, IdText.text());
        account.writeString(profile::kSection, profile::kPassword, PassText.text());
        account.writeString(profile::kSection, profile::kSaveAccount, "1");
    } else {
        account.writeString(profile::kSection, profile::kSaveAccount, "0");
    }
    context_.mailboxChanged.notify();
    context_.closeIdPassForm();  // destroys this form: nothing may follow
}

void IdPassForm::CancelCommand_Click() {
    context_.closeIdPassForm();
}

}  // namespace breezel
