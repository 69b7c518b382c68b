#include "imap/Mailboxes.h"

#include "common/AsciiText.h"
#include "imap/CommandText.h"
#include "imap/ErrorText.h"
#include "imap/MailboxName.h"

namespace breezel::imap {

namespace {

constexpr std::string_view kInbox = "INBOX";

// The key a mailbox is known by: INBOX in any case is INBOX, any other as sent.
std::string MailboxKey(std::string_view wire) {
    return ascii::EqualNoCase(wire, kInbox) ? std::string(kInbox) : std::string(wire);
}

}  // namespace

std::optional<std::string> Mailboxes::follow(const std::vector<std::string>& folders) {
    folders_.clear();
    for (const std::string& name : folders) {
        const auto wire = EncodeMailboxName(name);
        if (!wire) {
            return BadFolderNameText();
        }
        bool known = MailboxKey(*wire) == kInbox;
        for (const Folder& folder : folders_) {
            known = known || folder.wire == *wire;
        }
        if (!known) {
            folders_.push_back(Folder{name, *wire});
        }
    }
    return std::nullopt;
}

std::vector<std::string> Mailboxes::planCount(bool search) {
    counts_.clear();
    std::vector<std::string> commands;
    counts_.push_back(Count{std::string(kInbox), {}, search, {}});
    commands.push_back(search ? "SEARCH RETURN (COUNT) UNSEEN" : "STATUS INBOX (UNSEEN)");
    for (const Folder& folder : folders_) {
        counts_.push_back(Count{folder.wire, {}, false, {}});
        commands.push_back("STATUS " + Quoted(folder.wire) + " (UNSEEN)");
    }
    return commands;
}

std::string Mailboxes::refusalText(std::size_t i, const Response& answer) const {
    if (i == 0) {
        return net::ServerErrorText(answer.text);
    }
    const std::string& name = folders_[i - 1].name;
    return answer.code == "NONEXISTENT" ? FolderMissingText(name)
                                        : FolderRefusedText(name, answer.text);
}

std::string Mailboxes::notifyCommand() const {
    // PERSONAL rather than the folders by name: Dovecot 2.3 matches no name that is not ASCII
    // there. What it tells of other mailboxes is let pass.
    return "NOTIFY SET STATUS (SELECTED (MessageNew MessageExpunge)) "
           "(PERSONAL (MessageNew MessageExpunge))";
}

void Mailboxes::take(const Data& d, bool selected) {
    switch (d.kind) {
        case Data::Kind::UidValidity:
            uidValidity_ = d.number;
            break;
        case Data::Kind::UidNext:
            uidNext_ = d.number;
            arrived_ = 0;
            break;
        case Data::Kind::Exists:
            takeExists(d.number, selected);
            break;
        case Data::Kind::Expunge:
            exists_ -= exists_ > 0 ? 1 : 0;
            break;
        case Data::Kind::Status:
            takeStatus(d);
            break;
        case Data::Kind::ESearch:
            if (!counts_.empty() && counts_.front().search && counts_.front().tag == d.tag) {
                counts_.front().unseen = d.number;
            }
            break;
        default:
            break;
    }
}

void Mailboxes::takeExists(std::uint32_t exists, bool selected) {
    if (exists > exists_ && selected) {
        arrived_ += exists - exists_;  // new messages: each takes a new UID
        news_ = news_ || watching_;
    }
    exists_ = exists;
}

std::string Mailboxes::keyOf(std::string_view mailbox) const {
    // Dovecot names the mailbox of a NOTIFY STATUS in UTF-8, not in modified UTF-7.
    for (const Folder& folder : folders_) {
        if (folder.name == mailbox) {
            return folder.wire;
        }
    }
    return MailboxKey(mailbox);
}

bool Mailboxes::watched(const std::string& key) const {
    for (const Folder& folder : folders_) {
        if (folder.wire == key) {
            return true;
        }
    }
    return false;
}

void Mailboxes::takeStatus(const Data& status) {
    const std::string key = keyOf(status.mailbox);
    for (Count& count : counts_) {
        if (!count.search && count.mailbox == key && status.unseen) {
            count.unseen = status.unseen;
        }
    }
    if (!watched(key) || (!status.messages && !status.uidNext)) {
        return;  // INBOX's news comes as EXISTS; a count's STATUS tells none
    }
    // NOTIFY's STATUS for a watched folder: news when it gained a message.
    Mark& mark = marks_[key];
    const bool first = !mark.messages && !mark.uidNext;
    const bool grew = (status.messages && mark.messages && *status.messages > *mark.messages) ||
                      (status.uidNext && mark.uidNext && *status.uidNext > *mark.uidNext);
    news_ = news_ || (watching_ && (first || grew));
    mark.messages = status.messages ? status.messages : mark.messages;
    mark.uidNext = status.uidNext ? status.uidNext : mark.uidNext;
}

}  // namespace breezel::imap
