#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/Task.h"
#include "net/Credential.h"
#include "net/Mailbox.h"

namespace breezel {

/// What opening a push connection came to.
struct PushOpened {
    enum class Result {
        Watching,     ///< logged in, INBOX opened read-only: waiting for news may begin
        Unsupported,  ///< the server name is not IMAP, or the server offers no IDLE: no push
        Refused,      ///< login, TLS or the server name refused: retrying would not help
        Failed,       ///< no connection, or the link failed: a later try may succeed
    };
    Result result = Result::Failed;
    /// Why, for Refused and Failed: the user's text (never shown by push itself).
    std::string failure;
    /// Where INBOX stood (its UIDVALIDITY and UIDNEXT): a later opening that finds UIDNEXT
    /// grown, or another UIDVALIDITY, tells of mail that arrived while no connection watched.
    std::uint32_t uidValidity = 0;
    std::uint32_t uidNext = 0;
    /// Refused because the server refused the credentials (the password, the token), not for
    /// TLS or the server name.
    bool credentialsRefused = false;
};

/// What a wait for news ended with.
enum class PushNews {
    NewMail,  ///< a message was added to INBOX (its count of messages grew)
    Lost,     ///< the link failed, the server ended the session, or a keep-alive went unanswered
    Refused,  ///< the server refused to idle (IDLE answered BAD or NO): no push on this server
};

/// One connection that watches INBOX and is told by the server when mail arrives (IMAP IDLE).
/// Its calls run one at a time: each is awaited before the next. A suspended call may be
/// destroyed with its task at any time; close() may follow.
class PushSession {
public:
    virtual ~PushSession() = default;
    /// Connects to mailbox's server, logs in with credential (encrypting first wherever the
    /// server offers it) and opens INBOX read-only.
    virtual Task<PushOpened> open(net::Mailbox mailbox, net::Credential credential) = 0;
    /// Waits until the server tells of new mail, or the connection is lost. Renews its wait
    /// before the server's limit and checks on the link now and then by itself; flag changes
    /// and removed messages do not end it.
    virtual Task<PushNews> waitForNews() = 0;
    /// The number of unseen messages in INBOX, counted on this connection without changing any
    /// flag; -1 when the link failed (the next wait then reports Lost at once).
    virtual Task<int> countUnseen() = 0;
    /// UIDNEXT as this connection expects it now: the opening's, advanced by each message the
    /// server told of since. An opening that later finds more tells of mail that came while no
    /// connection watched.
    virtual std::uint32_t expectedUidNext() const = 0;
    /// Logs out without waiting for the answer and closes the connection.
    virtual void close() = 0;
};

/// Makes push connections.
class MailPush {
public:
    virtual ~MailPush() = default;
    virtual std::unique_ptr<PushSession> create() = 0;
};

}  // namespace breezel
