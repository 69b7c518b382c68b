#include "forms/MailboxListForm.h"

#include <algorithm>
#include <map>
#include <utility>

#include "forms/FormContext.h"
#include "forms/IdPassForm.h"
#include "forms/MailboxForm.h"
#include "forms/OptionForm.h"
#include "platform/DesktopAccounts.h"
#include "platform/MessageBox.h"
#include "platform/SecretStore.h"
#include "settings/FileText.h"
#include "settings/MailboxFile.h"

namespace breezel {

namespace {

std::string ResultText(const std::map<std::string, MailboxResult>& results,
                       const std::string& key) {
    const auto found = results.find(key);
    if (found == results.end()) {
        return "未確認";
    }
    const MailboxResult& result = found->second;
    std::string text = result.failure.empty()
                           ? std::to_string(result.count) + " 通 (" + result.when + ")"
                           : result.failure;
    // A server's reason may run over lines; a list line holds one.
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// The desktop's mail accounts that no mailbox names yet, as further mailboxes: asked once, added
// in one step. They keep no password: the desktop gives it, or the token, at each login.
Task<> AddDesktopAccounts(FormContext& context) {
    const Services& services = context.services();
    const std::vector<DesktopAccount> accounts = co_await services.desktopAccounts.mailAccounts();
    std::vector<net::Mailbox> known = context.furtherMailboxes();
    known.push_back(context.savedFirstMailbox());
    std::vector<net::Mailbox> adding;
    std::string names;
    for (const DesktopAccount& account : accounts) {
        const std::string server = std::string(account.imapTls ? "imaps://" : "imap://") +
                                   (account.oauth2 ? ";AUTH=XOAUTH2@" : "") + account.imapHost;
        net::Mailbox mailbox =
            net::MailboxAt(server, account.imapUser.empty() ? account.email : account.imapUser);
        const bool named = std::any_of(known.begin(), known.end(), [&](const net::Mailbox& m) {
            return m.address && mailbox.address && m.address->host == mailbox.address->host &&
                   m.id == mailbox.id;
        });
        if (!mailbox.address || named) {
            continue;
        }
        mailbox.key = context.newMailboxKey();
        mailbox.name = account.email.empty() ? account.name : account.email;
        mailbox.secretSource = net::SecretSource::Keyring;
        // Appended piece by piece: "literal" + std::string trips GCC 12's -Wrestrict at -O3.
        names += '\n';
        names += OneLine(mailbox.name);
        names += " (";
        names += OneLine(server);
        names += ')';
        known.push_back(mailbox);
        adding.push_back(std::move(mailbox));
    }
    if (adding.empty()) {
        services.messages.showOk(
            "デスクトップのオンラインアカウントに、まだ一覧にないメールのアカウントはありません。",
            "メールボックス", MessageBox::Icon::None, [] {});
        co_return;
    }
    const bool yes = co_await Answer<bool>([&services, &names](Answer<bool>::Reply answered) {
        services.messages.askYesNo("デスクトップのアカウントを一覧に加えますか？" + names, "確認",
                                   std::move(answered));
    });
    if (!yes) {
        co_return;
    }
    // Read again: the list may have changed while the question was open.
    std::vector<net::Mailbox> mailboxes = context.furtherMailboxes();
    mailboxes.insert(mailboxes.end(), adding.begin(), adding.end());
    if (!SaveMailboxes(context.mailboxesFile(), mailboxes)) {
        services.messages.showOk(
            "メールボックスを加えられませんでした。★MailData "
            "フォルダーに書き込めるか確かめてください。",
            "メールボックス", MessageBox::Icon::Exclamation, [] {});
        co_return;
    }
    context.mailboxChanged.notify();
}

// The dialog is gone once the user has answered: everything needed comes as arguments.
Task<> Remove(FormContext& context, std::string key, std::string name) {
    const Services& services = context.services();
    const bool yes = co_await Answer<bool>([&services, &name](Answer<bool>::Reply answered) {
        services.messages.askYesNo("メールボックス「" + name + "」を一覧から削除しますか？", "確認",
                                   std::move(answered));
    });
    if (!yes) {
        co_return;
    }
    // An open edit of it would only bring it back.
    if (context.hasMailboxForm() && context.mailboxForm().key() == key) {
        context.closeMailboxForm();
    }
    std::vector<net::Mailbox> mailboxes = context.furtherMailboxes();
    std::erase_if(mailboxes, [&](const net::Mailbox& m) { return m.key == key; });
    if (!SaveMailboxes(context.mailboxesFile(), mailboxes)) {
        services.messages.showOk(
            "メールボックスを削除できませんでした。★MailData "
            "フォルダーに書き込めるか確かめてください。",
            "メールボックス", MessageBox::Icon::Exclamation, [] {});
        co_return;
    }
    co_await services.secrets.forget(key);
    context.mailboxResults().erase(key);
    context.mailboxChanged.notify();
}

}  // namespace

MailboxListForm::MailboxListForm(FormContext& context)
    : Form("MailboxListForm", "メールボックスの一覧", 0, 0), context_(context) {
    AddCommand.onClick.connect([this] { AddCommand_Click(); });
    EditCommand.onClick.connect([this] { EditCommand_Click(); });
    RemoveCommand.onClick.connect([this] { RemoveCommand_Click(); });
    DesktopCommand.onClick.connect([this] { DesktopCommand_Click(); });
    CloseCommand.onClick.connect([this] { CloseCommand_Click(); });
    mailboxChanged_ = context.mailboxChanged.connectScoped([this] { Refresh(); });
    resultsChanged_ = context.mailboxResultsChanged.connectScoped([this] { Refresh(); });
}

void MailboxListForm::Form_Load() {
    Refresh();
    List1.select(0);
    window.show();
}

void MailboxListForm::Refresh() {
    const int chosen = List1.selected();
    const std::string chosenKey = chosen >= 0 ? keys_[chosen] : std::string();
    const auto& results = context_.mailboxResults();
    std::vector<RowList::Row> rows;
    keys_.clear();

    const net::Mailbox first = context_.savedFirstMailbox();
    rows.push_back({first.name.empty() ? "（最初のメールボックス）" : first.name,
                    first.server.empty() ? "未設定" : first.server, "有効",
                    ResultText(results, "")});
    keys_.emplace_back();
    for (const net::Mailbox& mailbox : context_.furtherMailboxes()) {
        rows.push_back({mailbox.name, mailbox.server, mailbox.enabled ? "有効" : "無効",
                        ResultText(results, mailbox.key)});
        keys_.push_back(mailbox.key);
    }
    // The same mailbox stays chosen; when it has gone, the line that took its place.
    const auto same = std::find(keys_.begin(), keys_.end(), chosenKey);
    const int keep = same != keys_.end() && chosen >= 0
                         ? static_cast<int>(same - keys_.begin())
                         : std::min(chosen, static_cast<int>(keys_.size()) - 1);
    List1.setRows(std::move(rows), keep);
}

void MailboxListForm::AddCommand_Click() {
    context_.mailboxForm().beginNew();
}

void MailboxListForm::EditCommand_Click() {
    const int chosen = List1.selected();
    if (chosen < 0) {
        return;
    }
    if (chosen == 0) {
        context_.optionForm().window.show();
        context_.idPassForm().window.show();
        return;
    }
    for (const net::Mailbox& mailbox : context_.furtherMailboxes()) {
        if (mailbox.key == keys_[chosen]) {
            context_.mailboxForm().beginEdit(mailbox);
            return;
        }
    }
    Refresh();  // it went from the file meanwhile
}

void MailboxListForm::RemoveCommand_Click() {
    if (!removable()) {
        return;
    }
    const std::string& key = keys_[List1.selected()];
    context_.spawn(Remove(context_, key, List1.rows()[List1.selected()][0]));
}

void MailboxListForm::DesktopCommand_Click() {
    context_.spawn(AddDesktopAccounts(context_));
}

void MailboxListForm::CloseCommand_Click() {
    context_.closeMailboxListForm();
}

}  // namespace breezel
