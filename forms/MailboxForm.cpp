#include "forms/MailboxForm.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/AsciiText.h"
#include "forms/FormContext.h"
#include "platform/MessageBox.h"
#include "platform/SecretStore.h"
#include "settings/MailboxFile.h"

namespace breezel {

namespace {

constexpr const char* kTitle = "メールボックス";

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// One folder a line; INBOX is always watched, so naming it again adds nothing.
std::vector<std::string> FolderLines(const std::string& text) {
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find('\n', start), text.size());
        std::string folder = Trimmed(text.substr(start, end - start));
        if (!folder.empty() && !ascii::EqualNoCase(folder, "INBOX") &&
            std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(std::move(folder));
        }
        start = end + 1;
    }
    return folders;
}

// The password is kept before the mailbox is written, so that no check ever finds the mailbox
// without it. The dialog is gone by now: everything needed comes as arguments.
Task<> Keep(FormContext& context, net::Mailbox mailbox, Secret password, bool forgetPassword,
            bool added) {
    SecretStore& secrets = context.services().secrets;
    if (!password.empty()) {
        co_await secrets.save(mailbox.key, std::move(password));
    } else if (forgetPassword) {
        co_await secrets.forget(mailbox.key);
    }
    std::vector<net::Mailbox> mailboxes = context.furtherMailboxes();
    const auto same = std::find_if(mailboxes.begin(), mailboxes.end(),
                                   [&](const net::Mailbox& m) { return m.key == mailbox.key; });
    if (same != mailboxes.end()) {
        *same = mailbox;
    } else {
        mailboxes.push_back(mailbox);
    }
    if (!SaveMailboxes(context.mailboxesFile(), mailboxes)) {
        if (added) {
            co_await secrets.forget(mailbox.key);
        }
        context.services().messages.showOk(
            "メールボックスを保存できませんでした。★MailData "
            "フォルダーに書き込めるか確かめてください。",
            kTitle, MessageBox::Icon::Exclamation, [] {});
        co_return;
    }
    context.mailboxChanged.notify();
}

}  // namespace

MailboxForm::MailboxForm(FormContext& context)
    : Form("MailboxForm", "メールボックスの追加", 0, 0), context_(context) {
    ServerText.onChange.connect([this] { showPasswordHint(); });
    OKCommand.onClick.connect([this] { OKCommand_Click(); });
    CancelCommand.onClick.connect([this] { CancelCommand_Click(); });
}

void MailboxForm::Form_Load() {
    showPasswordHint();
}

void MailboxForm::beginNew() {
    if (keepOpenEdit()) {
        return;
    }
    key_.clear();
    storedPassword_ = false;
    window.setCaption("メールボックスの追加");
    NameText.setText("");
    ServerText.setText("");
    IdText.setText("");
    PassText.setText("");
    EnabledCheck.setValue(1);
    FolderText.setText("");
    showPasswordHint();
    window.show();
}

void MailboxForm::beginEdit(const net::Mailbox& mailbox) {
    if (keepOpenEdit()) {
        return;
    }
    key_ = mailbox.key;
    storedPassword_ = !mailbox.bearer();
    window.setCaption("メールボックスの編集");
    NameText.setText(mailbox.name);
    ServerText.setText(mailbox.server);
    IdText.setText(mailbox.id);
    PassText.setText("");
    EnabledCheck.setValue(mailbox.enabled ? 1 : 0);
    std::string folders;
    for (const std::string& folder : mailbox.folders) {
        folders += folder + "\n";
    }
    FolderText.setText(folders);
    showPasswordHint();
    window.show();
}

bool MailboxForm::keepOpenEdit() {
    if (!window.visible()) {
        return false;
    }
    window.show();
    return true;
}

bool MailboxForm::passwordWanted() const {
    const auto address = net::ServerAddress::parse(Trimmed(ServerText.text()));
    return !address || !address->bearer();
}

bool MailboxForm::foldersWanted() const {
    const auto address = net::ServerAddress::parse(Trimmed(ServerText.text()));
    return address && address->protocol == net::Protocol::Imap;
}

void MailboxForm::showPasswordHint() {
    if (!passwordWanted()) {
        Label6.setCaption("トークンでサインインするため、パスワードは要りません。");
    } else if (storedPassword_) {
        Label6.setCaption("空欄のままなら、保存してあるパスワードを使います。");
    } else {
        Label6.setCaption("");
    }
}

std::string MailboxForm::problem() const {
    if (!net::ServerAddress::parse(Trimmed(ServerText.text()))) {
        return "サーバー名を正しく入力してください。\n"
               "例: pop3s://pop.example.jp、imaps://imap.example.jp、pop.example.jp:110";
    }
    if (Trimmed(IdText.text()).empty()) {
        return "IDを入力してください。";
    }
    if (passwordWanted() && !storedPassword_ && PassText.text().empty()) {
        return "パスワードを入力してください。";
    }
    return {};
}

void MailboxForm::OKCommand_Click() {
    if (const std::string message = problem(); !message.empty()) {
        context_.services().messages.showOk(message, kTitle, MessageBox::Icon::Exclamation, [] {});
        return;
    }
    net::Mailbox mailbox;
    const bool added = key_.empty();
    mailbox.key = added ? context_.newMailboxKey() : key_;
    mailbox.server = Trimmed(ServerText.text());
    mailbox.address = net::ServerAddress::parse(mailbox.server);
    mailbox.name = Trimmed(NameText.text());
    if (mailbox.name.empty()) {
        mailbox.name = mailbox.address->host;
    }
    mailbox.id = Trimmed(IdText.text());
    mailbox.secretSource = net::SecretSource::Keyring;
    mailbox.enabled = EnabledCheck.value() != 0;
    if (foldersWanted()) {
        mailbox.folders = FolderLines(FolderText.text());
    }
    // A token sign-in keeps no password: one kept from before would only linger.
    const bool bearer = mailbox.bearer();
    Secret password = bearer ? Secret() : Secret(PassText.text());
    const bool forgetPassword = bearer && storedPassword_;
    PassText.setText("");
    FormContext& context = context_;
    context.closeMailboxForm();  // destroys this form: nothing of it may follow
    context.spawn(Keep(context, std::move(mailbox), std::move(password), forgetPassword, added));
}

void MailboxForm::CancelCommand_Click() {
    context_.closeMailboxForm();
}

}  // namespace breezel
