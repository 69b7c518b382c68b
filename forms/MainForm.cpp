#include "forms/MainForm.h"

#include <string>

#include "common/FileUrl.h"
#include "forms/FileTitle.h"
#include "forms/FormContext.h"
#include "forms/IdPassForm.h"
#include "forms/MailboxListForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "net/Mailbox.h"
#include "platform/Desktop.h"
#include "platform/MailLibrary.h"
#include "platform/MessageBox.h"
#include "platform/ProcessControl.h"
#include "platform/TrayIcon.h"
#include "settings/ProfileKeys.h"
#include "settings/ServerSettings.h"

namespace breezel {

namespace {
constexpr const char* kNoMailProgramLabel = "設定されていません。";

// The label runs from right to left over the banner and jumps back after the left stop. Both
// start positions lie on the 20-twip grid that reaches the stop exactly.
constexpr Twips kLabelStep = 20;
constexpr Twips kLabelLeftStop = -1500;
constexpr Twips kLabelRestart = 2760;
}  // namespace

MainForm::MainForm(FormContext& context)
    : Form("MainForm", "Kazeyomi\u3000Ver 1.0", 3315, 1785), context_(context) {
    Timer4.onTimer.connect([this] { Timer4_Timer(); });
    Command9.onClick.connect([this] { Command9_Click(); });
    Picture1.onClick.connect([this] { Command9_Click(); });
    Command1.onClick.connect([this] { Command1_Click(); });
    Command7.onClick.connect([this] { context_.spawn(Command7_Click()); });
    Command10.onClick.connect([this] { Picture10.click(); });
    Picture10.onClick.connect([this] { context_.spawn(Picture10_Click()); });
    // Menu items do nothing themselves: each performs a button's click.
    mcheck.onClick.connect([this] { Command8.click(); });
    mset.onClick.connect([this] { Command7.click(); });
    mtask.onClick.connect([this] { Command1.click(); });
    mset2.onClick.connect([this] { Command9.click(); });
    mmailbox.onClick.connect([this] { context_.mailboxListForm().window.show(); });
    mzenmen.onClick.connect([this] { mzenmen_Click(); });
    mkaijyo.onClick.connect([this] { mkaijyo_Click(); });
    mhp.onClick.connect([this] { Command10.click(); });
    context.services().tray.setEventHandler([this](int code) { TrayControl1_Event(code); });
    context.services().tray.setMenu(popupMenu(), [this](int index) { mnu_Popup_Click(index); });
    // Unseen, the label's ticks need not wake the process: each still moves it, just later.
    window.changed.connect([this] { Timer4.setDeferred(window.unseen()); });
}

std::vector<Timer*> MainForm::timers() {
    return {&Timer1, &Timer2, &Timer3, &Timer4, &Timer5};
}

void MainForm::Form_Load() {
    const Services& services = context_.services();
    const IniFile preferences = context_.preferences();

    // Always on top, shown at once.
    window.setTopmost(true);
    window.setVisible(true);

    // Creating the preferences dialog loads the interval, which arms the one-second count.
    const int hangUp = preferences.readInt(profile::kSection, profile::kHangUp, 0);
    if (hangUp == 0 || hangUp == 1) {
        context_.setForm().Check1.setValue(hangUp);
    }

    LoadServerSettings(context_.settings(), context_.serverSettingsFile());

    services.mail.NMailInitializeWinSock();
    services.mail.NMailSetOption(1, 8192);

    if (context_.settings().Pop3Server.empty()) {
        context_.optionForm();
    }

    IdPassForm& account = context_.idPassForm();
    // An account that signs in with a token (;AUTH= in the server name) has no password.
    net::Mailbox first = FirstMailbox(context_.settings());
    first.id = account.IdText.text();
    first.password = Secret(account.PassText.text());
    if (!net::HasAccount(first)) {
        account.window.show();
    }

    WebBrowser1.navigate(context_.fanPictureUrl());

    silenceAlert.notify();

    context_.setForm().Text2.setText(
        std::to_string(preferences.readInt(profile::kSection, profile::kInterval, 0)));

    Text7.setText(preferences.readString(profile::kSection, profile::kMailProgram, kNoMailProgram));

    Check2.applyStored(preferences.readInt(profile::kSection, profile::kStartMailProgram, 0));
    Check4.applyStored(preferences.readInt(profile::kSection, profile::kMute, 0));
}

void MainForm::Form_Unload() {
    const Services& services = context_.services();
    silenceAlert.notify();
    Timer2.setEnabled(false);

    IniFile preferences = context_.preferences();
    preferences.writeString(profile::kSection, profile::kMailProgram, Text7.text());
    preferences.writeString(profile::kSection, profile::kStartMailProgram,
                            Check2.value() == 1 ? "1" : "0");
    preferences.writeString(profile::kSection, profile::kMute, Check4.value() == 1 ? "1" : "0");

    services.mail.NMailEndWinSock();
    closing.notify();
    services.process.endProcess();
}

void MainForm::Timer4_Timer() {
    Text8.setText(FileTitle(Text7.text()));
    Label1.setCaption(Text7.text().empty() ? std::string(kNoMailProgramLabel) : Text8.text());
    const Twips left = Label1.rect().left;
    Label1.setLeft(left == kLabelLeftStop ? kLabelRestart : left - kLabelStep);
}

void MainForm::Command9_Click() {
    context_.setForm().window.show();
}

void MainForm::Label2_DblClick() {
    Command9.click();
}

std::vector<CommandButton*> MainForm::fileMenu() {
    return {&mcheck, nullptr,  &mset,    &mtask,  &mset2, &mmailbox,
            nullptr, &mzenmen, &mkaijyo, nullptr, &mhp};
}

std::vector<std::string> MainForm::popupMenu() {
    return {"メイン画面を表示", "-", "終了"};
}

void MainForm::Command1_Click() {
    TrayIcon& tray = context_.services().tray;
    tray.setWindowIcon();
    tray.setTip(context_.services().desktop.localDateTimeText());
    tray.add();
    if (tray.available()) {
        window.setVisible(false);
    } else {
        // Without a notification area a hidden window could never be shown again.
        window.minimize();
    }
}

void MainForm::TrayControl1_Event(int code) {
    if (code == 0) {
        context_.services().messages.showOk("Clicked!", "", MessageBox::Icon::Exclamation, [] {});
    } else if (code == 1) {
        context_.services().desktop.popUpMenu(popupMenu(),
                                              [this](int index) { mnu_Popup_Click(index); });
    }
}

void MainForm::mnu_Popup_Click(int index) {
    if (index == 0) {
        window.show();
    } else if (index == 2) {
        Form_Unload();
    }
}

void MainForm::BringForward() {
    window.show();
}

void MainForm::mzenmen_Click() {
    window.setTopmost(true);
    window.show();
}

void MainForm::mkaijyo_Click() {
    window.setTopmost(false);
    window.show();
}

Task<> MainForm::Picture10_Click() {
    const Services& services = context_.services();
    const bool yes = co_await Answer<bool>([&services](Answer<bool>::Reply answered) {
        services.messages.askYesNo("「Tanpopo」作者のホームページです。ちょっと見てみますか？",
                                   "確認", std::move(answered));
    });
    if (yes) {
        services.desktop.openUrl(FileUrl(context_.programFile("/guide/index.html")));
    }
}

Task<> MainForm::Command7_Click() {
    using Path = std::optional<std::string>;
    const Path chosen = co_await Answer<Path>([this](Answer<Path>::Reply reply) {
        context_.services().desktop.chooseFile(CommonDialog1_FileName, std::move(reply));
    });
    // A cancelled dialog keeps its file name: the file chosen earlier in this run, or none.
    if (chosen) {
        CommonDialog1_FileName = *chosen;
    }
    Text7.setText(CommonDialog1_FileName);
    Text8.setText(FileTitle(Text7.text()));
}

}  // namespace breezel
