#include "imap/ImapSession.h"

#include <limits>
#include <utility>

#include "common/AsciiText.h"
#include "imap/CommandText.h"
#include "imap/ErrorText.h"
#include "net/Sasl.h"

namespace breezel::imap {

namespace {

// More alert text than anyone reads in an error box.
constexpr std::size_t kAlertBytes = 1000;

bool IsInbox(const Value& v) {
    return v.kind != Value::Kind::List && v.kind != Value::Kind::Nil &&
           ascii::EqualNoCase(v.text, "INBOX");
}

// The value after name in a list of name and value pairs that starts at from.
const Value* ValueOf(const std::vector<Value>& pairs, std::string_view name, std::size_t from = 0) {
    for (std::size_t i = from; i + 1 < pairs.size(); i += 2) {
        if (pairs[i].isAtom(name)) {
            return &pairs[i + 1];
        }
    }
    return nullptr;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const auto blank = text.find(' ');
        if (blank != 0) {
            words.push_back(text.substr(0, blank));
        }
        text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
    }
    return words;
}

CallResult Opened(CallResult result) {
    result.value = 1;  // a connection was made: the failure is told at login
    return result;
}

}  // namespace

ImapSession::ImapSession(std::unique_ptr<Transport> transport, ServerAddress address,
                         ImapLimits limits)
    : channel_(std::move(transport), limits), address_(std::move(address)) {}

Task<CallResult> ImapSession::open() {
    const TransportStatus status =
        co_await channel_.connect(address_.host, address_.port, address_.tls);
    if (!status.ok()) {
        const std::string text = ConnectFailureText(status, address_.host, address_.port);
        if (status.code != TransportCode::Tls) {
            co_return breakWith(text);
        }
        co_return Opened(breakWith(text, true));
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
        co_return Opened(breakWith(*fault));
    }
    if (greeting.name == "PREAUTH") {
        state_ = SessionState::Authenticated;
    }
    if (greeting.code == "CAPABILITY") {
        takeCapabilities(Words(greeting.codeText));
    } else if (auto sent = channel_.send(channel_.command("CAPABILITY", capabilityTag_))) {
        // Asked at once, so the answer travels while the caller reads the account.
        co_return Opened(breakWith(*sent));
    }
    co_return CallResult{1, {}};
}

Task<CallResult> ImapSession::logInAndCount(std::string id, std::string password) {
    std::vector<std::string> tags;
    std::vector<std::string_view> then;  // (a braced list here trips gcc 12's coroutines)
    then.push_back("STATUS INBOX (UNSEEN)");
    CallResult login = co_await logIn(std::move(id), std::move(password), then, tags);
    if (login.value < 0) {
        co_return login;
    }
    Response answer;
    if (auto fault = co_await answerOf(tags[0], answer)) {
        co_return breakWith(*fault);
    }
    CallResult count = takeCount(answer);
    if (count.value < 0 && state_ != SessionState::Broken) {
        co_return refuseWith(count.failure);
    }
    co_return count;
}

Task<CallResult> ImapSession::logInAndExamine(std::string id, std::string password) {
    std::vector<std::string> tags;
    // The capabilities may grow with the login (IDLE, ESEARCH): asked again in the same write.
    std::vector<std::string_view> then;
    then.push_back("CAPABILITY");
    then.push_back("EXAMINE INBOX");
    CallResult login = co_await logIn(std::move(id), std::move(password), then, tags);
    if (login.value < 0) {
        co_return login;
    }
    Response answer;
    for (const std::string& tag : tags) {
        if (auto fault = co_await answerOf(tag, answer)) {
            co_return breakWith(*fault);
        }
    }
    if (answer.name != "OK") {
        co_return refuseWith(ServerErrorText(answer.text));
    }
    state_ = SessionState::Selected;
    co_return CallResult{1, {}};
}

Task<PushNews> ImapSession::waitForNews() {
    if (state_ != SessionState::Selected && state_ != SessionState::Idling) {
        co_return PushNews::Lost;
    }
    watching_ = true;
    for (;;) {
        if (news_) {
            news_ = false;
            co_return PushNews::NewMail;
        }
        LinkFault fault;
        if (state_ == SessionState::Selected) {
            fault = co_await enterIdle();
        } else {
            Response response;
            fault = co_await channel_.readIdle(response);
            if (!fault) {
                fault = takeIdleResponse(response);
            } else if (channel_.idleExpired()) {
                fault = co_await enterIdle();
            }
        }
        if (fault) {
            breakWith(*fault);
            co_return PushNews::Lost;
        }
    }
}

Task<CallResult> ImapSession::countUnseen() {
    if (state_ == SessionState::Broken || state_ == SessionState::Refused) {
        co_return CallResult{-1, failure_, refused_};
    }
    if (state_ != SessionState::Selected && state_ != SessionState::Idling) {
        co_return CallResult{-1, NotLoggedInText()};
    }
    watching_ = false;
    news_ = false;
    channel_.restartPace();
    const bool idling = state_ == SessionState::Idling;
    // SEARCH RETURN (COUNT) answers with one number. Plain SEARCH would list every unseen
    // message, an answer that grows with the mailbox and passes the response bound for a large
    // one; STATUS answers one number too. RFC 3501 advises against STATUS on the selected
    // mailbox as a way to learn of new mail, but new mail comes from IDLE: here it only counts.
    std::string bytes = idling ? "DONE\r\n" : "";
    bytes += channel_.command(
        caps_.esearch ? "SEARCH RETURN (COUNT) UNSEEN" : "STATUS INBOX (UNSEEN)", countTag_);
    unseen_.reset();
    if (auto fault = channel_.send(bytes)) {
        co_return breakWith(*fault);
    }
    Response answer;
    if (idling) {
        if (auto fault = co_await answerOf(idleTag_, answer)) {
            co_return breakWith(*fault);
        }
        state_ = SessionState::Selected;
    }
    if (auto fault = co_await answerOf(countTag_, answer)) {
        co_return breakWith(*fault);
    }
    co_return takeCount(answer);
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

Task<CallResult> ImapSession::logIn(std::string id, std::string password,
                                    std::vector<std::string_view> then,
                                    std::vector<std::string>& tags) {
    if (auto refused = refuseLogin(id, password)) {
        co_return *refused;
    }
    loginTried_ = true;
    if (!capabilityTag_.empty()) {
        if (auto fault = co_await askCapabilities()) {
            co_return breakWith(*fault);
        }
    }
    const bool preauth = state_ == SessionState::Authenticated;
    if (!tls_ && caps_.startTls && !preauth) {
        const CallResult upgrade = co_await upgradeToTls();
        if (upgrade.value < 0) {
            co_return upgrade;
        }
    }
    std::optional<BearerLogin> bearer;
    if (!preauth && address_.bearer()) {
        bearer =
            ChooseBearerLogin(address_, caps_.authXOAuth2, caps_.authOAuthBearer, id, password);
        if (!bearer) {
            // A server that hides its mechanisms on a plain connection says so by LOGINDISABLED.
            co_return refuseWith(caps_.loginDisabled ? LoginDisabledText()
                                                     : MechanismNotOfferedText(address_.auth));
        }
    } else if (!preauth && caps_.loginDisabled && !caps_.authPlain) {
        // Never a password where the server forbids it: AUTH=PLAIN offered here is allowed.
        co_return refuseWith(LoginDisabledText());
    }
    std::string loginTag;
    std::vector<std::string> pieces{std::string()};
    if (preauth) {
        // Logged in by the connection itself: only the commands that follow go out.
    } else if (bearer || caps_.authPlain) {
        loginTag = channel_.newTag();
        const std::string command =
            loginTag + " AUTHENTICATE " + std::string(bearer ? bearer->mechanism : "PLAIN");
        const std::string message =
            (bearer ? bearer->response : PlainMessage(id, password)) + "\r\n";
        if (caps_.saslIr) {
            pieces = {command + " " + message};
        } else {
            pieces = {command + "\r\n", message};
        }
    } else {
        loginTag = channel_.newTag();
        const Literals literals = caps_.literalPlus    ? Literals::NonSynchronizing
                                  : caps_.literalMinus ? Literals::Minus
                                                       : Literals::Synchronizing;
        pieces = CommandPieces(loginTag + " LOGIN", {id, password}, literals);
    }
    alerts_.clear();
    Response login;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            if (auto fault = co_await answerOf(loginTag, login, true)) {
                co_return breakWith(*fault);
            }
            if (login.kind == Response::Kind::Tagged) {
                // Answered instead of asked for the rest, which stays unsent: a refusal, or a
                // server that accepts half a command.
                if (login.name == "OK") {
                    co_return breakWith(ProtocolErrorText(login.opening));
                }
                break;
            }
        }
        std::string bytes = std::move(pieces[i]);
        if (i + 1 == pieces.size() && !bearer) {
            // Behind the login's last bytes: a refused login has them refused too, harmlessly.
            for (const std::string_view command : then) {
                bytes += channel_.command(command, tags.emplace_back());
            }
        }
        if (auto fault = channel_.send(bytes)) {
            co_return breakWith(*fault);
        }
    }
    if (preauth) {
        co_return CallResult{1, {}};
    }
    if (login.kind != Response::Kind::Tagged) {
        if (auto fault = co_await answerOf(loginTag, login, bearer.has_value())) {
            co_return breakWith(*fault);
        }
    }
    if (login.kind == Response::Kind::Continuation) {
        // The token was refused: the mechanism's answer to the error challenge brings the NO.
        if (auto fault = channel_.send(std::string(bearer->errorAnswer) + "\r\n")) {
            co_return breakWith(*fault);
        }
        if (auto fault = co_await answerOf(loginTag, login)) {
            co_return breakWith(*fault);
        }
        if (login.name == "OK") {
            co_return breakWith(ProtocolErrorText(login.opening));
        }
    }
    if (login.name != "OK") {
        std::string text = ServerErrorText(login.text);
        if (!alerts_.empty()) {
            text += " " + alerts_;
        }
        // BAD is a command the server could not parse, UNAVAILABLE a passing fault of its own
        // (RFC 5530): neither says the credentials are wrong.
        co_return refuseWith(std::move(text), login.name == "NO" && login.code != "UNAVAILABLE");
    }
    state_ = SessionState::Authenticated;
    if (login.code == "CAPABILITY") {
        takeCapabilities(Words(login.codeText));
    }
    if (bearer && !then.empty()) {
        std::string bytes;
        for (const std::string_view command : then) {
            bytes += channel_.command(command, tags.emplace_back());
        }
        if (auto fault = channel_.send(bytes)) {
            co_return breakWith(*fault);
        }
    }
    co_return CallResult{1, {}};
}

Task<CallResult> ImapSession::upgradeToTls() {
    std::string tag;
    // Alone on the wire: what follows it must go encrypted.
    if (auto fault = channel_.send(channel_.command("STARTTLS", tag))) {
        co_return breakWith(*fault);
    }
    Response answer;
    if (auto fault = co_await answerOf(tag, answer)) {
        co_return breakWith(*fault);
    }
    if (answer.name != "OK") {
        // Offered and then refused: never fall back to sending the password in clear.
        co_return refuseWith(TlsRefusedText("STARTTLS", answer.text));
    }
    if (auto fault = co_await channel_.startTls(address_.host)) {
        co_return breakWith(*fault, true);
    }
    tls_ = true;
    // What the server said before the handshake may have been forged: forget it, ask again.
    caps_ = {};
    if (auto fault = co_await askCapabilities()) {
        co_return breakWith(*fault);
    }
    co_return CallResult{1, {}};
}

Task<LinkFault> ImapSession::enterIdle() {
    // A renewal sends DONE and the new IDLE in one write: one exchange per keep-alive.
    const bool renewing = state_ == SessionState::Idling;
    const std::string previous = idleTag_;
    channel_.restartPace();
    std::string bytes = renewing ? "DONE\r\n" : "";
    bytes += channel_.command("IDLE", idleTag_);
    if (auto fault = channel_.send(bytes)) {
        co_return fault;
    }
    state_ = SessionState::Idling;
    Response answer;
    if (renewing) {
        // No answer within the response timeout: the link died without a word.
        if (auto fault = co_await answerOf(previous, answer)) {
            co_return fault;
        }
    }
    if (auto fault = co_await answerOf(idleTag_, answer, true)) {
        co_return fault;
    }
    if (answer.kind == Response::Kind::Tagged) {
        state_ = SessionState::Selected;
        co_return ServerErrorText(answer.text);
    }
    channel_.startIdle();
    co_return std::nullopt;
}

LinkFault ImapSession::takeIdleResponse(const Response& response) {
    switch (response.kind) {
        case Response::Kind::Untagged:
            return absorb(response);
        case Response::Kind::Tagged:
            // The server ended the IDLE by itself; the next round enters it again.
            state_ = SessionState::Selected;
            return std::nullopt;
        case Response::Kind::Continuation:
            break;
    }
    return ProtocolErrorText(response.opening);
}

Task<LinkFault> ImapSession::answerOf(const std::string& tag, Response& answer, bool continuation) {
    for (auto it = early_.begin(); it != early_.end(); ++it) {
        if (it->tag == tag) {
            answer = std::move(*it);
            early_.erase(it);
            co_return std::nullopt;
        }
    }
    for (;;) {
        Response response;
        if (auto fault = co_await channel_.read(response)) {
            co_return fault;
        }
        switch (response.kind) {
            case Response::Kind::Continuation:
                if (!continuation) {
                    co_return ProtocolErrorText(response.opening);
                }
                answer = std::move(response);
                co_return std::nullopt;
            case Response::Kind::Tagged:
                if (response.tag == tag) {
                    answer = std::move(response);
                    co_return std::nullopt;
                }
                early_.push_back(std::move(response));  // the channel knows it is due
                break;
            case Response::Kind::Untagged:
                if (auto fault = absorb(response)) {
                    co_return fault;
                }
                break;
        }
    }
}

Task<LinkFault> ImapSession::askCapabilities() {
    if (capabilityTag_.empty()) {
        if (auto fault = channel_.send(channel_.command("CAPABILITY", capabilityTag_))) {
            co_return fault;
        }
    }
    // A refusal leaves the capabilities as they were: none after STARTTLS.
    Response answer;
    co_return co_await answerOf(std::exchange(capabilityTag_, {}), answer);
}

LinkFault ImapSession::absorb(const Response& r) {
    if (r.name == "BYE") {
        return ByeText(r.text);
    }
    if (r.isStatus()) {
        if (r.code == "ALERT" && alerts_.size() < kAlertBytes) {
            if (!alerts_.empty()) {
                alerts_ += ' ';
            }
            alerts_ += ServerErrorText(r.text);
        } else if (r.code == "CAPABILITY") {
            takeCapabilities(Words(r.codeText));
        } else if (r.code == "UIDVALIDITY" || r.code == "UIDNEXT") {
            const auto n = ParseNumber(r.codeText);
            if (!n) {
                return ProtocolErrorText(r.opening);
            }
            if (r.code == "UIDNEXT") {
                uidNext_ = *n;
                arrived_ = 0;
            } else {
                uidValidity_ = *n;
            }
        }
        return std::nullopt;
    }
    if (r.name == "CAPABILITY") {
        std::vector<std::string_view> words;
        for (const Value& v : r.values) {
            words.push_back(v.text);
        }
        takeCapabilities(words);
    } else if (r.name == "EXISTS" || r.name == "EXPUNGE") {
        if (!r.number) {
            return ProtocolErrorText(r.opening);
        }
        if (r.name == "EXPUNGE") {
            exists_ -= exists_ > 0 ? 1 : 0;
        } else {
            const bool selected =
                state_ == SessionState::Selected || state_ == SessionState::Idling;
            if (*r.number > exists_ && selected) {
                arrived_ += *r.number - exists_;  // new messages: each takes a new UID
                news_ = news_ || watching_;
            }
            exists_ = *r.number;
        }
    } else if (r.name == "STATUS" && r.values.size() == 2 && IsInbox(r.values[0])) {
        if (const Value* unseen = ValueOf(r.values[1].items, "UNSEEN")) {
            unseen_ = unseen->number();
            if (!unseen_) {
                return ProtocolErrorText(r.opening);
            }
        }
    } else if (r.name == "ESEARCH" && !r.values.empty()) {
        // (TAG "aN"), UID perhaps, then result pairs; without COUNT, none matched.
        const Value* tag = ValueOf(r.values.front().items, "TAG");
        if (tag == nullptr || tag->text != countTag_) {
            return std::nullopt;
        }
        const Value* count =
            ValueOf(r.values, "COUNT", r.values.size() > 1 && r.values[1].isAtom("UID") ? 2 : 1);
        unseen_ = count != nullptr ? count->number() : 0;
        if (!unseen_) {
            return ProtocolErrorText(r.opening);
        }
    }
    return std::nullopt;  // FETCH, RECENT, FLAGS ...: nothing a count or a wait needs
}

void ImapSession::takeCapabilities(const std::vector<std::string_view>& words) {
    caps_ = {};
    for (const std::string_view word : words) {
        const auto is = [word](std::string_view name) { return ascii::EqualNoCase(word, name); };
        caps_.startTls = caps_.startTls || is("STARTTLS");
        caps_.loginDisabled = caps_.loginDisabled || is("LOGINDISABLED");
        caps_.authPlain = caps_.authPlain || is("AUTH=PLAIN");
        caps_.authXOAuth2 = caps_.authXOAuth2 || is("AUTH=XOAUTH2");
        caps_.authOAuthBearer = caps_.authOAuthBearer || is("AUTH=OAUTHBEARER");
        caps_.saslIr = caps_.saslIr || is("SASL-IR");
        caps_.literalPlus = caps_.literalPlus || is("LITERAL+");
        caps_.literalMinus = caps_.literalMinus || is("LITERAL-");
        caps_.idle = caps_.idle || is("IDLE");
        caps_.esearch = caps_.esearch || is("ESEARCH");
    }
}

CallResult ImapSession::takeCount(const Response& answer) {
    if (answer.name != "OK") {
        return CallResult{-1, ServerErrorText(answer.text)};
    }
    if (!unseen_ || *unseen_ > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
        return breakWith(ProtocolErrorText(answer.opening));
    }
    return CallResult{static_cast<int>(*unseen_), {}};
}

CallResult ImapSession::breakWith(std::string text, bool refused) {
    state_ = SessionState::Broken;
    failure_ = std::move(text);
    refused_ = refused;
    channel_.close();
    return CallResult{-1, failure_, refused_};
}

CallResult ImapSession::refuseWith(std::string text, bool credentials) {
    state_ = SessionState::Refused;
    failure_ = std::move(text);
    refused_ = true;
    credentialsRefused_ = credentials;
    return CallResult{-1, failure_, true};
}

std::optional<CallResult> ImapSession::refuseLogin(const std::string& id,
                                                   const std::string& password) const {
    if (state_ == SessionState::Broken || state_ == SessionState::Refused) {
        return CallResult{-1, failure_, refused_};
    }
    if (loginTried_) {
        return CallResult{-1, LoginAlreadyDoneText()};
    }
    // Before any byte goes out: nothing is sent that cannot succeed.
    if (!UsableCredentials(id, password, address_.bearer())) {
        return CallResult{-1, BadCredentialsText(), true};
    }
    return std::nullopt;
}

}  // namespace breezel::imap
