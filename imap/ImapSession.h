#pragma once

// One IMAP session (RFC 3501) from greeting to LOGOUT: the login, with STARTTLS first whenever
// the server offers it on a plain connection, by AUTHENTICATE PLAIN (RFC 4616, with SASL-IR of
// RFC 4959 when offered) or LOGIN; for a server named with ;AUTH= the password is an OAuth2
// token and goes by AUTHENTICATE XOAUTH2 or OAUTHBEARER (RFC 7628). Then a check's count of the
// unseen messages of INBOX and the folders named; IdleSession adds push.
//
// Commands that cannot go wrong in a way that matters are pipelined: the count or EXAMINE goes
// in the same write as the login's last bytes (refused with the login if the login is), and
// DONE in the same write as the count that follows it. Nothing is ever sent behind STARTTLS,
// nor behind a literal that waits for the server's "+", nor behind a token: the server may
// answer it with an error challenge, and would take the next command for the reply.
//
// On a plain connection to another machine no credential goes out unless STARTTLS made it
// private: a server that offers no STARTTLS is refused before anything is sent.
//
// Failures are values: each call gives the caller's number and, when it failed, one failure
// (its kind and the user's text). A failure of the link or of the protocol breaks the session
// for good: every later call repeats the same failure at once.
//
// Each call is a task that suspends while it waits for the server; calls on one session run
// one after another. Nothing here waits on its own: every wait is a transport read with a
// deadline.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Secret.h"
#include "common/Task.h"
#include "imap/ImapChannel.h"
#include "imap/ImapLimits.h"
#include "imap/Mailboxes.h"
#include "imap/Response.h"
#include "net/CallResult.h"
#include "net/Sasl.h"
#include "net/ServerAddress.h"
#include "net/Transport.h"

namespace breezel::imap {

/// Where a session stands.
enum class SessionState {
    NotAuthenticated,  ///< greeted; no login yet
    Authenticated,     ///< logged in; no mailbox selected
    Selected,          ///< INBOX is open read-only
    Idling,            ///< IDLE was sent on INBOX: the server tells of changes; DONE is owed
    Refused,           ///< the server refused the login or a command; the link works
    Broken,            ///< the link or the protocol failed; every call repeats that failure
};

/// An IMAP session over one transport: the login and a check's count.
class ImapSession : private UntaggedSink {
public:
    ImapSession(std::unique_ptr<Transport> transport, ServerAddress address, ImapLimits limits);
    virtual ~ImapSession() = default;

    /// Connects and reads the greeting (asking the capabilities at once when it has none).
    /// Value -1 when no connection could be made; 1 otherwise, possibly in the Broken state
    /// (failed TLS handshake, refusing or malformed greeting) with the failure.
    Task<CallResult> open();
    /// Logs in and counts the unseen messages of INBOX and of folders (UTF-8 names) by one
    /// STATUS each, without selecting any; value the sum or -1.
    Task<CallResult> logInAndCount(std::string id, Secret password,
                                   std::vector<std::string> folders);
    /// Sends LOGOUT when the link works, waits for its answer at most logoutTimeout, closes.
    Task<> logOut();
    /// Sends DONE when idling and LOGOUT when the link works, and closes without waiting.
    void hangUp();
    /// Where the session stands.
    SessionState state() const { return state_; }
    /// Whether the server refused the credentials (LOGIN's or AUTHENTICATE's NO, a refused
    /// token); not a refused STARTTLS, LOGINDISABLED, a missing mechanism or a broken link.
    bool loginRefused() const { return failure_.kind == Failure::Kind::CredentialsRefused; }
    /// Whether the server offers IDLE (asked again after the login).
    bool offersIdle() const { return caps_.idle; }

protected:
    /// Logs in; then sends, in the same write as the login's last bytes, the commands (without
    /// tags) in then, whose tags land in tags.
    Task<CallResult> logIn(std::string id, Secret password, std::vector<std::string> then,
                           std::vector<std::string>& tags);
    /// Counts and watches folders besides INBOX; a refusal when a name cannot go on the wire,
    /// or the failure again when the session already failed.
    std::optional<CallResult> follow(const std::vector<std::string>& folders);
    /// Reads the answers to the count's commands; value their sum.
    Task<CallResult> readCounts();
    CallResult breakWith(std::string text, Failure::Kind kind = Failure::Kind::Broken);
    CallResult refuseWith(std::string text, Failure::Kind kind = Failure::Kind::Refused);
    /// The failure again: the session is Refused or Broken.
    CallResult repeatFailure() const { return CallResult{-1, failure_}; }
    /// Learns what an untagged response tells; a fault when it ends or breaks the session.
    LinkFault absorb(const Response& response) override;

    ImapChannel channel_;
    SessionState state_ = SessionState::NotAuthenticated;
    Capabilities caps_;
    Mailboxes mailboxes_;

private:
    /// How the credentials go: the login command's tag and its pieces, each sent after the
    /// server's "+" to the one before; for a token, its mechanism's messages.
    struct LoginPlan {
        std::string tag;
        std::vector<std::string> pieces;
        std::optional<BearerLogin> bearer;
    };

    // The login's steps, in order.
    /// A refusal of what cannot succeed, before any byte goes out.
    std::optional<CallResult> refuseLogin(const std::string& id, const Secret& password) const;
    /// The capabilities answered, then STARTTLS where offered; no credential goes in clear
    /// beyond this machine.
    Task<CallResult> secureLink();
    Task<CallResult> upgradeToTls();
    /// How the credentials go, or the refusal when the server allows no way.
    std::optional<CallResult> chooseLogin(const std::string& id, const Secret& password,
                                          LoginPlan& plan);
    /// Sends the plan's pieces, then behind the last the commands of then, and reads the
    /// login's final answer into answer.
    Task<CallResult> exchange(LoginPlan& plan, const std::vector<std::string>& then,
                              std::vector<std::string>& tags, Response& answer);
    /// The login's answer taken: refused, or logged in with the commands of then sent after a
    /// token's login.
    CallResult takeLogin(const Response& answer, const LoginPlan& plan,
                         const std::vector<std::string>& then, std::vector<std::string>& tags);

    /// Sends DONE when idling and LOGOUT when the link works; LOGOUT's tag, or "" when sent none.
    std::string sayGoodbye();
    /// Asks the capabilities and reads their answer.
    Task<LinkFault> askCapabilities();
    ServerAddress address_;
    Failure failure_;  // repeated in the Refused and Broken states
    bool tls_ = false;
    bool loginTried_ = false;
    std::string capabilityTag_;  // a CAPABILITY sent and not yet answered
    std::string alerts_;         // [ALERT] texts since the login began
};

}  // namespace breezel::imap
