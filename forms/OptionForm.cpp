#include "forms/OptionForm.h"

#include "forms/FormContext.h"
#include "settings/ServerSettings.h"

namespace breezel {

OptionForm::OptionForm(FormContext& context)
    : Form("OptionForm", "サーバー設定", 0, 0), context_(context) {
    OKCommand.onClick.connect([this] { OKCommand_Click(); });
    CancelCommand.onClick.connect([this] { CancelCommand_Click(); });
}

void OptionForm::Form_Load() {
    window.setTopmost(true);
    window.show();
    const SharedSettings& settings = context_.settings();
    SmtpText.setText(settings.SmtpServer);
    Pop3Text.setText(settings.Pop3Server);
    MailText.setText(settings.MailAddress);
    // Any non-zero flag selects APOP, so a hand-edited value other than 1 shows as ticked.
    ApopCheck.setValue(settings.ApopFlag != 0 ? 1 : 0);
}

void OptionForm::OKCommand_Click() {
    SharedSettings& settings = context_.settings();
    settings.SmtpServer = SmtpText.text();
    settings.Pop3Server = Pop3Text.text();
    settings.MailAddress = MailText.text();
    settings.ApopFlag = static_cast<std::int16_t>(ApopCheck.value() != 0 ? 1 : 0);
    SaveServerSettings(settings, context_.serverSettingsFile());
    context_.mailboxChanged.notify();
    context_.closeOptionForm();  // destroys this form: nothing may follow
}

void OptionForm::CancelCommand_Click() {
    context_.closeOptionForm();
}

}  // namespace breezel
