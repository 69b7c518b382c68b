#pragma once

// One POP3 session from greeting to QUIT: login (with STLS first when the server offers it,
// APOP or USER/PASS, pipelined when allowed; for a server named with ;AUTH= an OAuth2 token by
// AUTH XOAUTH2 or OAUTHBEARER, RFC 5034), then the per-message calls of a mail check.
//
// Failures are values: each call gives the caller's number and, when it failed, the user's
// text. A failure of the link or of the protocol breaks the session for good: every later
// call repeats the same text at once, so a dead or hostile server costs one timeout, not one
// per message.
//
// Each call is a task that suspends while it waits for the server. Calls on one session run one
// after another: the caller awaits each before making the next.

#include <memory>
#include <optional>
#include <string>

#include "common/Secret.h"
#include "common/Task.h"
#include "net/CallResult.h"
#include "net/ServerAddress.h"
#include "net/Transport.h"
#include "platform/MailLibrary.h"
#include "pop3/Pop3Channel.h"
#include "pop3/Pop3Limits.h"
#include "pop3/RequestPipeline.h"

namespace breezel::pop3 {

class HeaderCollector;

/// Where a session stands.
enum class ConnectionState {
    Greeted,      ///< the server greeted us; no login tried yet
    Transaction,  ///< logged in; the per-message calls may run
    Refused,      ///< the server refused the login; the link still works (QUIT on close)
    Broken,       ///< the link or the protocol failed; every call repeats that failure
};

/// A POP3 session over one transport.
class Pop3Connection {
public:
    Pop3Connection(std::unique_ptr<Transport> transport, ServerAddress address, Pop3Limits limits);

    /// Connects and reads the greeting. Value -1 when no connection could be made; 1 otherwise,
    /// possibly in the Broken state (failed TLS handshake or greeting) with the failure text.
    Task<CallResult> open();
    /// Logs in and asks the message count; value count (0 for none) or -1. For a bearer name
    /// password is the token and apop is ignored.
    Task<CallResult> authenticate(std::string id, Secret password, bool apop);
    /// Fills texts, which must outlive the task, from the headers of message number (TOP n 0);
    /// value 1 or -1.
    Task<CallResult> status(int number, MailTexts& texts);
    /// The size in bytes of message number (LIST n); value size or -1.
    Task<CallResult> size(int number);
    /// Reads message number (RETR n) and drops it as it streams, keeping the header texts.
    Task<CallResult> retrieve(int number, MailTexts& texts);
    /// Sends QUIT when the link still works, waits for the answer only briefly, and closes.
    Task<> quit();
    /// Where the session stands.
    ConnectionState state() const { return state_; }
    /// Whether the server refused the credentials (USER's, PASS's, APOP's or AUTH's -ERR, a
    /// refused token); not a refused STLS, a missing mechanism, a fault of its own or the link.
    bool loginRefused() const { return failure_.kind == Failure::Kind::CredentialsRefused; }

private:
    /// A call whose answer carries headers (TOP, RETR): the header texts go into texts.
    Task<CallResult> withHeaders(RequestKind kind, int number, MailTexts& texts);
    CallResult breakWith(std::string text, Failure::Kind kind = Failure::Kind::Broken);
    CallResult refuseWith(std::string text, Failure::Kind kind = Failure::Kind::Refused);
    /// refuseWith for the -ERR text of a login command.
    CallResult refuseLogin(const std::string& text);
    Task<LinkFault> askCapabilities();
    Task<CallResult> upgradeToTls();
    Task<CallResult> logIn(std::string id, Secret password, bool apop);
    Task<CallResult> logInWithToken(std::string id, Secret token);
    Task<CallResult> askCount();
    CallResult takeCount(const Reply& stat);
    std::optional<CallResult> refuseMessageCall(int number) const;
    // headers: the caller's, which it keeps until the task ends; may be null.
    Task<CallResult> perform(Request request, HeaderCollector* headers);
    Task<CallResult> readAnswer(Request request, HeaderCollector* headers);
    Task<LinkFault> discardAnswer(Request request);

    Pop3Channel channel_;
    ServerAddress address_;
    ConnectionState state_ = ConnectionState::Greeted;
    Failure failure_;        // repeated in the Refused and Broken states
    std::string timestamp_;  // the greeting's APOP timestamp, brackets included
    bool tls_ = false;
    bool offersStls_ = false;
    // CAPA was sent right after the greeting; its answer is the next one to read.
    bool capaSent_ = false;
    bool offersPipelining_ = false;
    bool offersXOAuth2_ = false;  // CAPA's SASL line
    bool offersOAuthBearer_ = false;
    int count_ = 0;
    std::optional<RequestPipeline> pipeline_;  // only when the server allows pipelining
};

}  // namespace breezel::pop3
