#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imap/ImapLimits.h"
#include "net/Transport.h"
#include "platform/MailPush.h"

namespace breezel {

namespace imap {
class IdleSession;
}  // namespace imap

/// Push over IMAP IDLE (RFC 2177): one connection logged in with INBOX open read-only
/// (EXAMINE), told by the server when a message arrives, in the mailbox's folders too where the
/// server offers NOTIFY (RFC 5465). The wait renews its IDLE every
/// ImapLimits::idleKeepAlive, which also proves the link alive; each exchange on the connection
/// is bounded like a check, the wait itself only by that renewal. Nothing runs at rest but the
/// renewal. Must outlive the tasks of its calls.
class ImapPushSession : public PushSession {
public:
    ImapPushSession(net::TransportFactory& transports, imap::ImapLimits limits);
    ~ImapPushSession() override;

    Task<PushOpened> open(net::Mailbox mailbox, net::Credential credential) override;
    Task<PushNews> waitForNews() override;
    /// SEARCH RETURN (COUNT) UNSEEN with ESEARCH, else STATUS INBOX (UNSEEN), and a STATUS for
    /// each folder, sent in the same write as the DONE that ends the IDLE.
    Task<int> countUnseen() override;
    std::uint32_t expectedUidNext() const override;
    void close() override;

private:
    net::TransportFactory& transports_;
    imap::ImapLimits limits_;
    std::unique_ptr<imap::IdleSession> session_;
};

}  // namespace breezel
