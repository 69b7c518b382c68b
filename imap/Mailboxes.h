#pragma once

// What a session knows of the mailboxes it counts and watches, from the server's typed data:
// the folders besides INBOX and their names on the wire, the count in flight, INBOX's count of
// messages and UIDs while it is selected, the folders' marks as NOTIFY told them, and whether
// any of it is news. No I/O: the session reads, this keeps the books.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imap/Response.h"

namespace breezel::imap {

/// The mailboxes of one session.
class Mailboxes {
public:
    /// Counts and watches folders (UTF-8 names) besides INBOX, each once; a refusal's text
    /// when a name cannot go on the wire.
    std::optional<std::string> follow(const std::vector<std::string>& folders);
    /// Whether there are folders besides INBOX.
    bool hasFolders() const { return !folders_.empty(); }
    /// Sets up a count: the commands, INBOX's first (by SEARCH when search, else STATUS), then
    /// a STATUS for each folder; tag(i) must then receive each one's tag.
    std::vector<std::string> planCount(bool search);
    std::size_t countCommands() const { return counts_.size(); }
    std::string& tag(std::size_t i) { return counts_[i].tag; }
    /// The unseen messages command i counted, once its answer told them.
    std::optional<std::uint32_t> counted(std::size_t i) const { return counts_[i].unseen; }
    /// The text for a refusal of command i: the server's for INBOX, one naming the folder else.
    std::string refusalText(std::size_t i, const Response& answer) const;
    /// NOTIFY's command: new and removed messages of the selected INBOX and of the other
    /// mailboxes, which tell their counts first where the server can, so that only a rise of a
    /// watched folder's is news.
    std::string notifyCommand() const;

    /// Learns from untagged data; selected: whether INBOX is open.
    void take(const Data& data, bool selected);
    /// Whether a new message from here on is news.
    void watch(bool on) { watching_ = on; }
    /// Whether news came while watching, forgetting it.
    bool takeNews() { return std::exchange(news_, false); }

    std::uint32_t uidValidity() const { return uidValidity_; }
    std::uint32_t uidNext() const { return uidNext_; }
    std::uint32_t expectedUidNext() const { return uidNext_ == 0 ? 0 : uidNext_ + arrived_; }

private:
    struct Folder {
        std::string name;  // as the user named it
        std::string wire;
    };
    struct Count {
        std::string mailbox;  // "INBOX" or a folder's wire name
        std::string tag;
        bool search = false;
        std::optional<std::uint32_t> unseen;
    };
    struct Mark {
        std::optional<std::uint32_t> messages;
        std::optional<std::uint32_t> uidNext;
    };

    /// The key of a mailbox named in a response: "INBOX", a folder's wire name, or as named.
    std::string keyOf(std::string_view mailbox) const;
    bool watched(const std::string& key) const;
    void takeExists(std::uint32_t exists, bool selected);
    void takeStatus(const Data& status);

    std::vector<Folder> folders_;
    std::vector<Count> counts_;
    std::map<std::string, Mark> marks_;
    std::uint32_t exists_ = 0;  // INBOX's count of messages as the server told it
    std::uint32_t uidValidity_ = 0;
    std::uint32_t uidNext_ = 0;
    std::uint32_t arrived_ = 0;  // messages told of since uidNext_
    bool watching_ = false;
    bool news_ = false;
};

}  // namespace breezel::imap
