#pragma once

// An IMAP session that watches for push: INBOX opened read-only (EXAMINE) and watched with IDLE
// (RFC 2177), the folders too by NOTIFY (RFC 5465) where the server offers it; each wait ends
// with news, and the count that follows leaves IDLE in the same write.
//
// The server does not set the pace: everything it told before the IDLE ended is in the count,
// however much it was, and what it tells while a count is in flight is one pending piece of
// news for the next wait, not one per line.

#include <cstdint>
#include <string>
#include <vector>

#include "imap/ImapSession.h"
#include "platform/MailPush.h"

namespace breezel::imap {

/// A session for push.
class IdleSession : public ImapSession {
public:
    using ImapSession::ImapSession;

    /// Logs in, learns the capabilities that come with it and opens INBOX read-only (EXAMINE);
    /// where the server offers NOTIFY, asks it to tell of new mail in folders too. Value 1 or -1.
    Task<CallResult> logInAndExamine(std::string id, Secret password,
                                     std::vector<std::string> folders);
    /// Whether the server tells of new mail in the folders too (NOTIFY), not only in INBOX.
    bool notifying() const { return notifying_; }
    /// INBOX's UIDVALIDITY and UIDNEXT as the server last told them, at EXAMINE (0: never).
    std::uint32_t uidValidity() const { return mailboxes_.uidValidity(); }
    std::uint32_t uidNext() const { return mailboxes_.uidNext(); }
    /// UIDNEXT as expected now: EXAMINE's, advanced by each message the server told of since
    /// (0 while the server has told none).
    std::uint32_t expectedUidNext() const { return mailboxes_.expectedUidNext(); }
    /// Idles on the selected INBOX until a watched mailbox gains a message (NewMail, still
    /// idling), the server refuses IDLE (Refused) or the link is lost; renews the IDLE every
    /// idleKeepAlive, which also proves the link alive. News that came during the last count
    /// ends it at once.
    Task<PushNews> waitForNews();
    /// Leaves IDLE if in it and counts the unseen messages of INBOX and the folders in one
    /// write; value the sum or -1.
    Task<CallResult> countUnseen();

private:
    /// Asks NOTIFY to tell of the folders' new mail as well as the selected INBOX's.
    Task<CallResult> askNotify();
    /// Sends IDLE and waits for its "+"; from then on the idle pace bounds the wait. When
    /// already idling, ends that IDLE first (DONE and its answer): the keep-alive that proves
    /// the link alive. A NO or BAD instead of the "+" leaves the session Refused.
    Task<LinkFault> enterIdle();
    /// What a response read while idling means for the wait.
    LinkFault takeIdleResponse(const Response& response);

    std::string idleTag_;
    bool notifying_ = false;
};

}  // namespace breezel::imap
