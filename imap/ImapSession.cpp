#include "imap/ImapSession.h"

#include <limits>
#include <utility>

#include "imap/CommandText.h"
#include "imap/ErrorText.h"
#include "net/Connect.h"

namespace breezel::imap {

namespace {

// More alert text than anyone reads in an error box.
constexpr std::size_t kAlertBytes = 1000;

}  // namespace

ImapSession::ImapSession(std::unique_ptr<Transport> transport, ServerAddress address,
                         ImapLimits limits)
    : channel_(std::move(transport), limits, *this), address_(std::move(address)) {}

Task<CallResult> ImapSession::open() {
    const TransportStatus status =
        co_await channel_.connect(address_.host, address_.port, address_.tls);
    if (const auto failed = ConnectFailure(status, address_)) {
        CallResult result = breakWith(failed->failure.text, failed->failure.kind);
        result.value = failed->value;
        co_return result;
    }
    tls_ = address_.tls;
    // Nothing goes out before the greeting: servers drop early talkers, and the greeting
    // usually brings the capabilities.
    Response greeting;
    LinkFault fault = co_await channel_.read(greeting);
    if (!fault && greeting.name == "BYE") {
        fault = GreetingRefusedText(greeting.text);
    } else if (!fault && (greeting.kind != Response::Kind::Untagged ||
                          (greeting.name != "OK" && greeting.name != "PREAUTH"))) {
        fault = ProtocolErrorText(greeting.opening);
    }
    if (fault) {
        CallResult result = breakWith(*fault);
        result.value = 1;  // a connection was made: the failure is told at login
        co_return result;
    }
    if (greeting.name == "PREAUTH") {
        state_ = SessionState::Authenticated;
    }
    if (greeting.data.kind == Data::Kind::Capability) {
        caps_ = greeting.data.capabilities;
    } else if (auto sent = channel_.send(channel_.command("CAPABILITY", capabilityTag_))) {
        // Asked at once, so the answer travels while the caller reads the account.
        CallResult result = breakWith(*sent);
        result.value = 1;
        co_return result;
    }
    co_return Succeeded(1);
}

Task<CallResult> ImapSession::logInAndCount(std::string id, Secret password,
                                            std::vector<std::string> folders) {
    if (auto refused = follow(folders)) {
        co_return *refused;
    }
    std::vector<std::string> tags;
    CallResult login =
        co_await logIn(std::move(id), std::move(password), mailboxes_.planCount(false), tags);
    if (login.value < 0) {
        co_return login;
    }
    for (std::size_t i = 0; i < tags.size(); ++i) {
        mailboxes_.tag(i) = tags[i];
    }
    CallResult count = co_await readCounts();
    if (count.value < 0 && state_ != SessionState::Broken) {
        co_return refuseWith(count.failure.text);
    }
    co_return count;
}

std::optional<CallResult> ImapSession::follow(const std::vector<std::string>& folders) {
    if (state_ == SessionState::Broken || state_ == SessionState::Refused) {
        return repeatFailure();
    }
    if (auto refused = mailboxes_.follow(folders)) {
        return refuseWith(*refused);
    }
    return std::nullopt;
}

Task<> ImapSession::logOut() {
    const std::string tag = sayGoodbye();
    const auto timeout = channel_.limits().logoutTimeout;
    if (!tag.empty() && timeout.count() > 0) {
        Response response;
        while (!co_await channel_.read(response, timeout)) {
            if (response.kind == Response::Kind::Tagged && response.tag == tag) {
                break;
            }
        }
    }
    if (state_ != SessionState::Broken) {
        breakWith(LinkFailureText({TransportCode::Closed, {}}));
    }
}

void ImapSession::hangUp() {
    sayGoodbye();
    if (state_ != SessionState::Broken) {
        breakWith(LinkFailureText({TransportCode::Closed, {}}));
    }
}

std::string ImapSession::sayGoodbye() {
    if (state_ == SessionState::Broken) {
        return {};
    }
    std::string tag;
    const std::string bytes =
        (state_ == SessionState::Idling ? "DONE\r\n" : "") + channel_.command("LOGOUT", tag);
    return channel_.send(bytes) ? std::string{} : tag;
}

Task<CallResult> ImapSession::logIn(std::string id, Secret password, std::vector<std::string> then,
                                    std::vector<std::string>& tags) {
    if (auto refused = refuseLogin(id, password)) {
        co_return *refused;
    }
    loginTried_ = true;
    const CallResult secured = co_await secureLink();
    if (secured.failure) {
        co_return secured;
    }
    LoginPlan plan;
    if (state_ == SessionState::Authenticated) {
        // Logged in by the connection itself (PREAUTH): only the commands that follow go out.
        plan.pieces.emplace_back();
    } else if (auto refused = chooseLogin(id, password, plan)) {
        co_return *refused;
    }
    Response answer;
    const CallResult exchanged = co_await exchange(plan, then, tags, answer);
    if (exchanged.failure || plan.tag.empty()) {
        co_return exchanged;
    }
    co_return takeLogin(answer, plan, then, tags);
}

std::optional<CallResult> ImapSession::refuseLogin(const std::string& id,
                                                   const Secret& password) const {
    if (state_ == SessionState::Broken || state_ == SessionState::Refused) {
        return repeatFailure();
    }
    if (loginTried_) {
        return CallResult{-1, {Failure::Kind::Refused, LoginAlreadyDoneText()}};
    }
    if (!UsableCredentials(id, password.reveal(), address_.bearer())) {
        return CallResult{-1, {Failure::Kind::Refused, BadCredentialsText()}};
    }
    return std::nullopt;
}

Task<CallResult> ImapSession::secureLink() {
    if (!capabilityTag_.empty()) {
        if (auto fault = co_await askCapabilities()) {
            co_return breakWith(*fault);
        }
    }
    if (tls_ || state_ == SessionState::Authenticated) {
        co_return Succeeded(1);
    }
    if (caps_.startTls) {
        co_return co_await upgradeToTls();
    }
    if (!address_.loopback()) {
        // Anyone on the way could read the password or the token: none goes in clear.
        co_return refuseWith(NoEncryptionText());
    }
    co_return Succeeded(1);
}

Task<CallResult> ImapSession::upgradeToTls() {
    std::string tag;
    // Alone on the wire: what follows it must go encrypted.
    if (auto fault = channel_.send(channel_.command("STARTTLS", tag))) {
        co_return breakWith(*fault);
    }
    Response answer;
    if (auto fault = co_await channel_.answerOf(tag, answer)) {
        co_return breakWith(*fault);
    }
    if (answer.name != "OK") {
        // Offered and then refused: never fall back to sending the password in clear.
        co_return refuseWith(TlsRefusedText("STARTTLS", answer.text));
    }
    if (auto fault = co_await channel_.startTls(address_.host)) {
        co_return breakWith(*fault, Failure::Kind::Refused);
    }
    tls_ = true;
    // What the server said before the handshake may have been forged: forget it, ask again.
    caps_ = {};
    if (auto fault = co_await askCapabilities()) {
        co_return breakWith(*fault);
    }
    co_return Succeeded(1);
}

std::optional<CallResult> ImapSession::chooseLogin(const std::string& id, const Secret& password,
                                                   LoginPlan& plan) {
    if (address_.bearer()) {
        plan.bearer = ChooseBearerLogin(address_, caps_.authXOAuth2, caps_.authOAuthBearer, id,
                                        password.reveal());
        if (!plan.bearer) {
            // A server that hides its mechanisms on a plain connection says so by LOGINDISABLED.
            return refuseWith(caps_.loginDisabled ? LoginDisabledText()
                                                  : MechanismNotOfferedText(address_.auth));
        }
    } else if (caps_.loginDisabled && !caps_.authPlain) {
        // Never a password where the server forbids it: AUTH=PLAIN offered here is allowed.
        return refuseWith(LoginDisabledText());
    }
    plan.tag = channel_.newTag();
    if (plan.bearer || caps_.authPlain) {
        const std::string command = plan.tag + " AUTHENTICATE " +
                                    std::string(plan.bearer ? plan.bearer->mechanism : "PLAIN");
        std::string message =
            plan.bearer ? plan.bearer->response : PlainMessage(id, password.reveal());
        message += "\r\n";
        if (caps_.saslIr) {
            plan.pieces.push_back(command + " " + message);
        } else {
            plan.pieces.push_back(command + "\r\n");
            plan.pieces.push_back(std::move(message));
        }
        return std::nullopt;
    }
    const Literals literals = caps_.literalPlus    ? Literals::NonSynchronizing
                              : caps_.literalMinus ? Literals::Minus
                                                   : Literals::Synchronizing;
    plan.pieces = CommandPieces(plan.tag + " LOGIN", {id, password.reveal()}, literals);
    return std::nullopt;
}

Task<CallResult> ImapSession::exchange(LoginPlan& plan, const std::vector<std::string>& then,
                                       std::vector<std::string>& tags, Response& answer) {
    alerts_.clear();
    for (std::size_t i = 0; i < plan.pieces.size(); ++i) {
        if (i > 0) {
            if (auto fault = co_await channel_.answerOf(plan.tag, answer, true)) {
                co_return breakWith(*fault);
            }
            if (answer.kind == Response::Kind::Tagged) {
                // Answered instead of asked for the rest, which stays unsent: a refusal, or a
                // server that accepts half a command.
                if (answer.name == "OK") {
                    co_return breakWith(ProtocolErrorText(answer.opening));
                }
                co_return Succeeded(1);
            }
        }
        std::string bytes = std::move(plan.pieces[i]);
        if (i + 1 == plan.pieces.size() && !plan.bearer) {
            // Behind the login's last bytes: a refused login has them refused too, harmlessly.
            for (const std::string& command : then) {
                bytes += channel_.command(command, tags.emplace_back());
            }
        }
        if (auto fault = channel_.send(bytes)) {
            co_return breakWith(*fault);
        }
    }
    if (plan.tag.empty()) {
        co_return Succeeded(1);
    }
    if (auto fault = co_await channel_.answerOf(plan.tag, answer, plan.bearer.has_value())) {
        co_return breakWith(*fault);
    }
    if (answer.kind == Response::Kind::Continuation) {
        // The token was refused: the mechanism's answer to the error challenge brings the NO.
        if (auto fault = channel_.send(std::string(plan.bearer->errorAnswer) + "\r\n")) {
            co_return breakWith(*fault);
        }
        if (auto fault = co_await channel_.answerOf(plan.tag, answer)) {
            co_return breakWith(*fault);
        }
        if (answer.name == "OK") {
            co_return breakWith(ProtocolErrorText(answer.opening));
        }
    }
    co_return Succeeded(1);
}

CallResult ImapSession::takeLogin(const Response& answer, const LoginPlan& plan,
                                  const std::vector<std::string>& then,
                                  std::vector<std::string>& tags) {
    if (answer.name != "OK") {
        std::string text = ServerErrorText(answer.text);
        if (!alerts_.empty()) {
            text += " " + alerts_;
        }
        // BAD is a command the server could not parse, UNAVAILABLE a passing fault of its own
        // (RFC 5530): neither says the credentials are wrong.
        const bool credentials = answer.name == "NO" && answer.code != "UNAVAILABLE";
        return refuseWith(std::move(text),
                          credentials ? Failure::Kind::CredentialsRefused : Failure::Kind::Refused);
    }
    state_ = SessionState::Authenticated;
    if (answer.data.kind == Data::Kind::Capability) {
        caps_ = answer.data.capabilities;
    }
    if (plan.bearer && !then.empty()) {
        std::string bytes;
        for (const std::string& command : then) {
            bytes += channel_.command(command, tags.emplace_back());
        }
        if (auto fault = channel_.send(bytes)) {
            return breakWith(*fault);
        }
    }
    return Succeeded(1);
}

Task<CallResult> ImapSession::readCounts() {
    std::uint64_t sum = 0;
    std::optional<CallResult> refused;
    Response answer;
    // Every answer is read, also after a refusal: none is left for a later command to meet.
    for (std::size_t i = 0; i < mailboxes_.countCommands(); ++i) {
        if (auto fault = co_await channel_.answerOf(mailboxes_.tag(i), answer)) {
            co_return breakWith(*fault);
        }
        if (answer.name != "OK") {
            if (!refused) {
                refused =
                    CallResult{-1, {Failure::Kind::Refused, mailboxes_.refusalText(i, answer)}};
            }
            continue;
        }
        const auto unseen = mailboxes_.counted(i);
        sum += unseen.value_or(0);
        if (!unseen || sum > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
            co_return breakWith(ProtocolErrorText(answer.opening));
        }
    }
    if (refused) {
        co_return *refused;
    }
    co_return Succeeded(static_cast<int>(sum));
}

Task<LinkFault> ImapSession::askCapabilities() {
    if (capabilityTag_.empty()) {
        if (auto fault = channel_.send(channel_.command("CAPABILITY", capabilityTag_))) {
            co_return fault;
        }
    }
    // A refusal leaves the capabilities as they were: none after STARTTLS.
    Response answer;
    co_return co_await channel_.answerOf(std::exchange(capabilityTag_, {}), answer);
}

LinkFault ImapSession::absorb(const Response& r) {
    switch (r.data.kind) {
        case Data::Kind::Bye:
            return ByeText(r.text);
        case Data::Kind::Alert:
            if (alerts_.size() < kAlertBytes) {
                // Appended piece by piece: "literal" + std::string trips GCC 12's -Wrestrict at
                // -O3.
                if (!alerts_.empty()) {
                    alerts_ += ' ';
                }
                alerts_ += ServerErrorText(r.text);
            }
            break;
        case Data::Kind::Capability:
            caps_ = r.data.capabilities;
            break;
        default:
            mailboxes_.take(r.data,
                            state_ == SessionState::Selected || state_ == SessionState::Idling);
    }
    return std::nullopt;
}

CallResult ImapSession::breakWith(std::string text, Failure::Kind kind) {
    state_ = SessionState::Broken;
    failure_ = Failure{kind, std::move(text)};
    channel_.close();
    return repeatFailure();
}

CallResult ImapSession::refuseWith(std::string text, Failure::Kind kind) {
    state_ = SessionState::Refused;
    failure_ = Failure{kind, std::move(text)};
    return repeatFailure();
}

}  // namespace breezel::imap
