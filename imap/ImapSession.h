#pragma once

// One IMAP session (RFC 3501) from greeting to LOGOUT: the login, with STARTTLS first whenever
// the server offers it on a plain connection, by AUTHENTICATE PLAIN (RFC 4616, with SASL-IR of
// RFC 4959 when offered) or LOGIN; for a server named with ;AUTH= the password is an OAuth2
// token and goes by AUTHENTICATE XOAUTH2 or OAUTHBEARER (RFC 7628). Then either a check's count
// of INBOX's unseen messages, or INBOX opened read-only and watched with IDLE (RFC 2177) for
// push.
//
// Commands that cannot go wrong in a way that matters are pipelined: the count or EXAMINE goes
// in the same write as the login's last bytes (refused with the login if the login is), and
// DONE in the same write as the count that follows it. Nothing is ever sent behind STARTTLS,
// nor behind a literal that waits for the server's "+", nor behind a token: the server may
// answer it with an error challenge, and would take the next command for the reply.
//
// Failures are values: each call gives the caller's number and, when it failed, the user's
// text. A failure of the link or of the protocol breaks the session for good: every later call
// repeats the same text at once.
//
// Each call is a task that suspends while it waits for the server; calls on one session run
// one after another. Nothing here waits on its own: every wait is a transport read with a
// deadline.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Task.h"
#include "imap/ImapChannel.h"
#include "imap/ImapLimits.h"
#include "imap/Response.h"
#include "net/ServerAddress.h"
#include "net/Transport.h"
#include "platform/MailPush.h"

namespace breezel::imap {

/// The outcome of one call: the caller's number and, on failure, the text for the user.
struct CallResult {
    int value = -1;
    std::string failure;
    /// The server or the settings turned the call down (login, TLS, LOGINDISABLED, the
    /// credentials' characters): trying again would not help.
    bool refused = false;
};

/// Where a session stands.
enum class SessionState {
    NotAuthenticated,  ///< greeted; no login yet
    Authenticated,     ///< logged in; no mailbox selected
    Selected,          ///< INBOX is open read-only
    Idling,            ///< IDLE was sent on INBOX: the server tells of changes; DONE is owed
    Refused,           ///< the server refused the login or a command; the link works
    Broken,            ///< the link or the protocol failed; every call repeats that failure
};

/// An IMAP session over one transport.
class ImapSession {
public:
    ImapSession(std::unique_ptr<Transport> transport, ServerAddress address, ImapLimits limits);

    /// Connects and reads the greeting (asking the capabilities at once when it has none).
    /// Value -1 when no connection could be made; 1 otherwise, possibly in the Broken state
    /// (failed TLS handshake, refusing or malformed greeting) with the failure text.
    Task<CallResult> open();
    /// Logs in and counts the unseen messages of INBOX (STATUS), without selecting it; value
    /// the count or -1.
    Task<CallResult> logInAndCount(std::string id, std::string password);
    /// Logs in, learns the capabilities that come with it and opens INBOX read-only (EXAMINE);
    /// value 1 or -1.
    Task<CallResult> logInAndExamine(std::string id, std::string password);
    /// Whether the server offers IDLE (asked again after the login).
    bool offersIdle() const { return caps_.idle; }
    /// INBOX's UIDVALIDITY and UIDNEXT as the server last told them, at EXAMINE (0: never).
    std::uint32_t uidValidity() const { return uidValidity_; }
    std::uint32_t uidNext() const { return uidNext_; }
    /// UIDNEXT as expected now: EXAMINE's, advanced by each message the server told of since
    /// (0 while the server has told none).
    std::uint32_t expectedUidNext() const { return uidNext_ == 0 ? 0 : uidNext_ + arrived_; }
    /// Idles on the selected INBOX until its count of messages grows (NewMail, still idling) or
    /// the link is lost; renews the IDLE every idleKeepAlive, which also proves the link alive.
    Task<PushNews> waitForNews();
    /// Leaves IDLE if in it and counts the unseen messages of the selected INBOX; value the
    /// count or -1.
    Task<CallResult> countUnseen();
    /// Sends LOGOUT when the link works, waits for its answer at most logoutTimeout, closes.
    Task<> logOut();
    /// Sends DONE when idling and LOGOUT when the link works, and closes without waiting.
    void hangUp();
    /// Where the session stands.
    SessionState state() const { return state_; }
    /// Whether the server refused the credentials (LOGIN's or AUTHENTICATE's NO, a refused
    /// token); not a refused STARTTLS, LOGINDISABLED, a missing mechanism or a broken link.
    bool loginRefused() const { return credentialsRefused_; }

private:
    /// The capabilities that change what the session does.
    struct Capabilities {
        bool startTls = false;
        bool loginDisabled = false;
        bool authPlain = false;
        bool authXOAuth2 = false;
        bool authOAuthBearer = false;
        bool saslIr = false;
        bool literalPlus = false;
        bool literalMinus = false;
        bool idle = false;
        bool esearch = false;
    };

    /// Logs in with STARTTLS first when offered; then sends, in the same write as the login's
    /// last bytes, the commands (without tags) in then, whose tags land in tags.
    Task<CallResult> logIn(std::string id, std::string password, std::vector<std::string_view> then,
                           std::vector<std::string>& tags);
    Task<CallResult> upgradeToTls();
    /// Sends IDLE and waits for its "+"; from then on the idle pace bounds the wait. When
    /// already idling, ends that IDLE first (DONE and its answer): the keep-alive that proves
    /// the link alive.
    Task<LinkFault> enterIdle();
    /// What a response read while idling means for the wait.
    LinkFault takeIdleResponse(const Response& response);
    /// A count command's answer, with the count absorbed on its way.
    CallResult takeCount(const Response& answer);
    /// Sends DONE when idling and LOGOUT when the link works; LOGOUT's tag, or "" when sent none.
    std::string sayGoodbye();
    /// Reads until tag's tagged answer comes, into answer; untagged responses are absorbed on
    /// the way and answers to other due tags are kept for later. With continuation a "+" ends
    /// the read too; otherwise it breaks the protocol.
    Task<LinkFault> answerOf(const std::string& tag, Response& answer, bool continuation = false);
    /// Asks the capabilities and reads their answer.
    Task<LinkFault> askCapabilities();
    /// Learns what an untagged response tells; a fault when it ends or breaks the session.
    LinkFault absorb(const Response& response);
    void takeCapabilities(const std::vector<std::string_view>& words);
    CallResult breakWith(std::string text, bool refused = false);
    CallResult refuseWith(std::string text, bool credentials = false);
    std::optional<CallResult> refuseLogin(const std::string& id, const std::string& password) const;

    ImapChannel channel_;
    ServerAddress address_;
    SessionState state_ = SessionState::NotAuthenticated;
    std::string failure_;  // the text repeated in the Refused and Broken states
    bool refused_ = false;
    bool credentialsRefused_ = false;
    bool tls_ = false;
    bool loginTried_ = false;
    Capabilities caps_;
    std::string capabilityTag_;    // a CAPABILITY sent and not yet answered
    std::vector<Response> early_;  // tagged answers that came before they were awaited
    std::string alerts_;           // [ALERT] texts since the login began
    std::string idleTag_;
    std::string countTag_;  // the SEARCH whose ESEARCH answer counts
    std::optional<std::uint32_t> unseen_;
    std::uint32_t exists_ = 0;  // INBOX's count of messages as the server told it
    std::uint32_t uidValidity_ = 0;
    std::uint32_t uidNext_ = 0;
    std::uint32_t arrived_ = 0;  // messages told of since uidNext_
    bool watching_ = false;      // a rise of exists_ is news
    bool news_ = false;
};

}  // namespace breezel::imap
