#include "settings/IdPassForm.h"

#include "app/Program.h"

namespace breezel {

IdPassForm::IdPassForm(Program& program) : Form("IdPassForm", "ID,PASS", 0, 0), program_(program) {
    OKCommand.onClick.connect([this] { OKCommand_Click(); });
    CancelCommand.onClick.connect([this] { CancelCommand_Click(); });
}

void IdPassForm::Form_Load() {
    const IniFile account = program_.accountFile();
    IdText.setText(account.readString(kProfileSection, "NAME", ""));
    PassText.setText(account.readString(kProfileSection, "NAME2", ""));
    // The save box remembers the user's last choice.
    Check1.applyStored(account.readInt(kProfileSection, "NAME3", 0));
}

void IdPassForm::OKCommand_Click() {
    SharedSettings& settings = program_.settings();
    settings.AccountId = IdText.text();
    settings.AccountPassword = PassText.text();
    IniFile account = program_.accountFile();
    if (Check1.value() != 0) {
        account.writeString(kProfileSection, "NAME", IdText.text());
        account.writeString(kProfileSection, "NAME2", PassText.text());
        account.writeString(kProfileSection, "NAME3", "1");
    } else {
        account.writeString(kProfileSection, "NAME3", "0");
    }
    program_.closeIdPassForm();  // destroys this form: nothing may follow
}

void IdPassForm::CancelCommand_Click() {
    program_.closeIdPassForm();
}

}  // namespace breezel
