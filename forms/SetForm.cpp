#include "forms/SetForm.h"

#include <string>

#include "forms/FormContext.h"
#include "forms/IdPassForm.h"
#include "forms/MainForm.h"
#include "forms/OptionForm.h"
#include "settings/NumberText.h"
#include "settings/ProfileKeys.h"

namespace breezel {

namespace {
constexpr int kOneSecond = 1000;
}

SetForm::SetForm(FormContext& context) : Form("SetForm", "設定", 0, 0), context_(context) {
    Text2.onChange.connect([this] { ApplyInterval(); });
    Command1.onClick.connect([this] { Command1_Click(); });
    Command2.onClick.connect([this] { Command2_Click(); });
}

void SetForm::Form_Load() {
    const IniFile preferences = context_.preferences();
    Check1.applyStored(preferences.readInt(profile::kSection, profile::kHangUp, 0));
    Text2.setText(std::to_string(preferences.readInt(profile::kSection, profile::kInterval, 0)));
    Check2.applyStored(preferences.readInt(profile::kSection, profile::kBoardClosesItself, 0));
}

void SetForm::Form_Unload() {
    IniFile preferences = context_.preferences();
    preferences.writeString(profile::kSection, profile::kHangUp, Check1.value() == 1 ? "1" : "0");
    preferences.writeString(profile::kSection, profile::kInterval, Text2.text());
    preferences.writeString(profile::kSection, profile::kBoardClosesItself,
                            Check2.value() == 1 ? "1" : "0");
}

void SetForm::ApplyInterval() {
    if (Text2.text().empty()) {
        // A change of its own: the nested run handles "0" before this one goes on.
        Text2.setText("0");
    }
    const double minutes = LeadingNumber(Text2.text());
    MainForm& main = context_.mainForm();
    if (minutes > 0) {
        main.Label4.setCaption("ON");
        main.Check3.setValue(1);
        main.Text5.setText(Text2.text());
        main.Timer3.setInterval(kOneSecond);
    } else if (minutes == 0) {
        main.Label4.setCaption("OFF");
        main.Check3.setValue(0);
        main.Text5.setText(Text2.text());
        main.Timer3.setInterval(0);
        context_.preferences().writeString(profile::kSection, profile::kInterval, Text2.text());
    }
    // A negative interval changes nothing; it is still saved as typed when the dialog closes.
}

void SetForm::Command1_Click() {
    context_.idPassForm().window.show();
}

void SetForm::Command2_Click() {
    context_.optionForm().window.show();
}

}  // namespace breezel
