#include "pop3/Pop3Connection.h"

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "common/AsciiText.h"
#include "net/Connect.h"
#include "net/Sasl.h"
#include "net/Syntax.h"
#include "pop3/ErrorText.h"
#include "pop3/HeaderCollector.h"
#include "pop3/Md5.h"

namespace breezel::pop3 {

namespace {

constexpr std::size_t kNoLineLimit = std::numeric_limits<std::size_t>::max();
// RFC 5034: an AUTH line with its initial response, CRLF included, stays within this.
constexpr std::size_t kMaxAuthLineBytes = 255;

// The first <...@...> of the greeting (RFC 1939, APOP); empty when there is none.
std::string TimestampOf(std::string_view greeting) {
    const auto open = greeting.find('<');
    if (open == std::string_view::npos) {
        return {};
    }
    const auto close = greeting.find('>', open);
    if (close == std::string_view::npos) {
        return {};
    }
    const std::string_view stamp = greeting.substr(open, close - open + 1);
    return stamp.find('@') == std::string_view::npos ? std::string{} : std::string(stamp);
}

std::string_view FirstWord(std::string_view text) {
    const auto end = text.find(' ');
    return text.substr(0, end);
}

// A decimal 0..INT32_MAX and nothing else: no sign, no blanks, no overflow.
std::optional<std::uint64_t> ParseCount(std::string_view text) {
    return ParseDecimal(text, static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()));
}

// A call the server or the rules turned down; the session goes on.
CallResult Failed(std::string text) {
    return CallResult{-1, {Failure::Kind::Refused, std::move(text)}};
}

// A login's -ERR that blames the server rather than the credentials: a fault of its own (RFC
// 3206's SYS/TEMP and SYS/PERM) or a maildrop in use (RFC 2449's IN-USE).
bool BlamesServer(std::string_view text) {
    return ascii::StartsWithNoCase(text, "[SYS/") || ascii::StartsWithNoCase(text, "[IN-USE]");
}

}  // namespace

Pop3Connection::Pop3Connection(std::unique_ptr<Transport> transport, ServerAddress address,
                               Pop3Limits limits)
    : channel_(std::move(transport), limits), address_(std::move(address)) {}

Task<CallResult> Pop3Connection::open() {
    const TransportStatus status =
        co_await channel_.connect(address_.host, address_.port, address_.tls);
    if (const auto failed = ConnectFailure(status, address_)) {
        CallResult result = breakWith(failed->failure.text, failed->failure.kind);
        result.value = failed->value;
        co_return result;
    }
    tls_ = address_.tls;
    // Nothing goes out before the greeting: servers that refuse early talkers drop such a
    // client, and the greeting decides APOP.
    Reply greeting;
    LinkFault fault = co_await channel_.readReply(greeting);
    if (!fault && !greeting.ok) {
        fault = GreetingRefusedText(greeting.text);
    }
    if (!fault) {
        timestamp_ = TimestampOf(greeting.text);
        // CAPA goes out at once, so its answer travels while the caller reads the account.
        fault = channel_.send("CAPA\r\n");
        capaSent_ = !fault;
    }
    if (fault) {
        CallResult result = breakWith(*fault);
        result.value = 1;  // a connection was made: the failure is told at login
        co_return result;
    }
    co_return Succeeded(1);
}

Task<CallResult> Pop3Connection::authenticate(std::string id, Secret password, bool apop) {
    if (state_ == ConnectionState::Broken || state_ == ConnectionState::Refused) {
        co_return CallResult{-1, failure_};
    }
    if (state_ == ConnectionState::Transaction) {
        co_return Failed(LoginAlreadyDoneText());
    }
    // Both checks come before any byte goes out: nothing is sent that cannot succeed.
    const bool bearer = address_.bearer();
    if (apop && !bearer && timestamp_.empty()) {
        co_return Failed(ApopWithoutTimestampText());
    }
    if (!UsableCredentials(id, password.reveal(), bearer)) {
        co_return Failed(BadCredentialsText());
    }
    if (auto fault = co_await askCapabilities()) {
        co_return breakWith(*fault);
    }
    if (!tls_ && offersStls_) {
        const CallResult upgrade = co_await upgradeToTls();
        if (upgrade.value < 0) {
            co_return upgrade;
        }
    }
    if (bearer) {
        co_return co_await logInWithToken(std::move(id), std::move(password));
    }
    co_return co_await logIn(std::move(id), std::move(password), apop);
}

Task<CallResult> Pop3Connection::status(int number, MailTexts& texts) {
    return withHeaders(RequestKind::Top, number, texts);
}

Task<CallResult> Pop3Connection::size(int number) {
    if (auto refused = refuseMessageCall(number)) {
        co_return *refused;
    }
    co_return co_await perform(Request{RequestKind::List, number}, nullptr);
}

Task<CallResult> Pop3Connection::retrieve(int number, MailTexts& texts) {
    return withHeaders(RequestKind::Retr, number, texts);
}

Task<CallResult> Pop3Connection::withHeaders(RequestKind kind, int number, MailTexts& texts) {
    texts = MailTexts{};
    if (auto refused = refuseMessageCall(number)) {
        co_return *refused;
    }
    HeaderCollector headers(channel_.limits().maxHeaderValueBytes);
    CallResult result = co_await perform(Request{kind, number}, &headers);
    if (result.value > 0) {
        texts = headers.texts();
    }
    co_return result;
}

Task<> Pop3Connection::quit() {
    if (state_ != ConnectionState::Broken && !channel_.send("QUIT\r\n")) {
        // With pipelined answers still due, the next line would not be QUIT's answer anyway.
        if (channel_.limits().quitTimeout.count() > 0 && (!pipeline_ || pipeline_->empty())) {
            Reply ignored;
            (void)co_await channel_.readReply(ignored, channel_.limits().quitTimeout);
        }
    }
    channel_.close();
}

CallResult Pop3Connection::breakWith(std::string text, Failure::Kind kind) {
    state_ = ConnectionState::Broken;
    failure_ = Failure{kind, std::move(text)};
    channel_.close();
    return CallResult{-1, failure_};
}

CallResult Pop3Connection::refuseWith(std::string text, Failure::Kind kind) {
    state_ = ConnectionState::Refused;
    failure_ = Failure{kind, std::move(text)};
    return CallResult{-1, failure_};
}

CallResult Pop3Connection::refuseLogin(const std::string& text) {
    return refuseWith(ServerErrorText(text), BlamesServer(text)
                                                 ? Failure::Kind::Refused
                                                 : Failure::Kind::CredentialsRefused);
}

Task<LinkFault> Pop3Connection::askCapabilities() {
    offersStls_ = false;
    offersPipelining_ = false;
    offersXOAuth2_ = false;
    offersOAuthBearer_ = false;
    if (!capaSent_) {
        if (auto fault = channel_.send("CAPA\r\n")) {
            co_return fault;
        }
    }
    capaSent_ = false;
    Reply reply;
    if (auto fault = co_await channel_.readReply(reply)) {
        co_return fault;
    }
    if (!reply.ok) {
        co_return std::nullopt;  // a server without CAPA has no extensions
    }
    // Only the capabilities we use are kept: a long list costs no memory.
    co_return co_await channel_.readLines(
        [this](std::string_view line) {
            const std::string word = ascii::Upper(FirstWord(line));
            offersStls_ = offersStls_ || word == "STLS";
            offersPipelining_ = offersPipelining_ || word == "PIPELINING";
            if (word == "SASL") {
                for (const std::string_view mechanism : Words(line.substr(4))) {
                    offersXOAuth2_ = offersXOAuth2_ || ascii::EqualNoCase(mechanism, "XOAUTH2");
                    offersOAuthBearer_ =
                        offersOAuthBearer_ || ascii::EqualNoCase(mechanism, "OAUTHBEARER");
                }
            }
        },
        channel_.limits().maxListLines);
}

Task<CallResult> Pop3Connection::upgradeToTls() {
    if (auto fault = channel_.send("STLS\r\n")) {
        co_return breakWith(*fault);
    }
    Reply reply;
    if (auto fault = co_await channel_.readReply(reply)) {
        co_return breakWith(*fault);
    }
    if (!reply.ok) {
        // The server offered TLS and then refused it: never fall back to sending in clear.
        co_return refuseWith(TlsRefusedText("STLS", reply.text));
    }
    if (auto fault = co_await channel_.startTls(address_.host)) {
        co_return breakWith(*fault, Failure::Kind::Refused);
    }
    tls_ = true;
    // What the server said before the handshake may have been forged: ask again (RFC 2595).
    if (auto fault = co_await askCapabilities()) {
        co_return breakWith(*fault);
    }
    co_return Succeeded(1);
}

Task<CallResult> Pop3Connection::logIn(std::string id, Secret password, bool apop) {
    std::vector<std::string> commands;
    if (apop) {
        commands.push_back("APOP " + id + " " + Md5::hex(timestamp_ + password.reveal()) + "\r\n");
    } else {
        commands.push_back("USER " + id + "\r\n");
        commands.push_back("PASS " + password.reveal() + "\r\n");
    }

    if (!offersPipelining_) {
        for (const std::string& command : commands) {
            if (auto fault = channel_.send(command)) {
                co_return breakWith(*fault);
            }
            Reply reply;
            if (auto fault = co_await channel_.readReply(reply)) {
                co_return breakWith(*fault);
            }
            if (!reply.ok) {
                co_return refuseLogin(reply.text);
            }
        }
        co_return co_await askCount();
    }

    const std::size_t logins = commands.size();
    commands.push_back("STAT\r\n");
    std::string batch;
    for (const std::string& command : commands) {
        batch += command;
    }
    if (auto fault = channel_.send(batch)) {
        co_return breakWith(*fault);
    }
    // Every answer is read to stay in step; the first refusal is the one the user needs.
    Reply reply;
    std::optional<std::string> refusal;
    bool loginRefused = false;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (auto fault = co_await channel_.readReply(reply)) {
            co_return breakWith(refusal ? ServerErrorText(*refusal) : *fault);
        }
        if (!reply.ok && !refusal) {
            refusal = reply.text;
            loginRefused = i < logins;
        }
    }
    if (refusal) {
        co_return loginRefused ? refuseLogin(*refusal) : refuseWith(ServerErrorText(*refusal));
    }
    co_return takeCount(reply);
}

Task<CallResult> Pop3Connection::logInWithToken(std::string id, Secret token) {
    const auto login =
        ChooseBearerLogin(address_, offersXOAuth2_, offersOAuthBearer_, id, token.reveal());
    if (!login) {
        co_return refuseWith(MechanismNotOfferedText(address_.auth));
    }
    // Nothing goes behind AUTH: a refused token brings a challenge, whose reply is the next line.
    std::string command = "AUTH ";
    command += login->mechanism;
    const bool initial = command.size() + 1 + login->response.size() + 2 <= kMaxAuthLineBytes;
    if (initial) {
        command += ' ';
        command += login->response;
    }
    command += "\r\n";
    if (auto fault = channel_.send(command)) {
        co_return breakWith(*fault);
    }
    Reply reply;
    if (!initial) {
        if (auto fault = co_await channel_.readSaslReply(reply)) {
            co_return breakWith(*fault);
        }
        if (reply.ok) {
            co_return breakWith(ProtocolErrorText("+OK " + reply.text));  // no token was sent
        }
        if (!reply.challenge) {
            co_return refuseLogin(reply.text);
        }
        if (auto fault = channel_.send(login->response + "\r\n")) {
            co_return breakWith(*fault);
        }
    }
    if (auto fault = co_await channel_.readSaslReply(reply)) {
        co_return breakWith(*fault);
    }
    if (reply.challenge) {
        // The token was refused: the mechanism's answer to the error challenge brings the -ERR.
        if (auto fault = channel_.send(std::string(login->errorAnswer) + "\r\n")) {
            co_return breakWith(*fault);
        }
        if (auto fault = co_await channel_.readReply(reply)) {
            co_return breakWith(*fault);
        }
        if (reply.ok) {
            co_return breakWith(ProtocolErrorText("+OK " + reply.text));
        }
    }
    if (!reply.ok) {
        co_return refuseLogin(reply.text);
    }
    co_return co_await askCount();
}

Task<CallResult> Pop3Connection::askCount() {
    if (auto fault = channel_.send("STAT\r\n")) {
        co_return breakWith(*fault);
    }
    Reply reply;
    if (auto fault = co_await channel_.readReply(reply)) {
        co_return breakWith(*fault);
    }
    if (!reply.ok) {
        co_return refuseWith(ServerErrorText(reply.text));
    }
    co_return takeCount(reply);
}

CallResult Pop3Connection::takeCount(const Reply& stat) {
    const auto count = ParseCount(FirstWord(stat.text));
    if (!count) {
        return breakWith(ProtocolErrorText("+OK " + stat.text));
    }
    count_ = static_cast<int>(*count);
    state_ = ConnectionState::Transaction;
    if (offersPipelining_) {
        pipeline_.emplace(count_, channel_.limits().pipelineWindow);
    }
    return Succeeded(count_);
}

std::optional<CallResult> Pop3Connection::refuseMessageCall(int number) const {
    switch (state_) {
        case ConnectionState::Broken:
        case ConnectionState::Refused:
            return CallResult{-1, failure_};
        case ConnectionState::Greeted:
            return Failed(NotLoggedInText());
        case ConnectionState::Transaction:
            break;
    }
    if (number < 1 || number > count_) {
        return Failed(BadMessageNumberText(number));
    }
    return std::nullopt;
}

Task<CallResult> Pop3Connection::perform(Request request, HeaderCollector* headers) {
    if (!pipeline_) {
        if (auto fault = channel_.send(request.command())) {
            co_return breakWith(*fault);
        }
        co_return co_await readAnswer(request, headers);
    }

    std::string bytes;
    if (pipeline_->empty()) {
        bytes = request.kind == RequestKind::Top ? pipeline_->openWindow(request.number)
                                                 : pipeline_->single(request);
    } else if (!(pipeline_->head() == request)) {
        // The caller left the expected order: let the queued answers pass, then ask alone.
        while (!pipeline_->empty()) {
            const Request queued = pipeline_->head();
            pipeline_->pop();
            if (auto fault = co_await discardAnswer(queued)) {
                co_return breakWith(*fault);
            }
        }
        pipeline_->closeWindow();
        bytes = pipeline_->single(request);
    }
    if (!bytes.empty()) {
        if (auto fault = channel_.send(bytes)) {
            co_return breakWith(*fault);
        }
    }
    pipeline_->pop();
    CallResult result = co_await readAnswer(request, headers);
    if (state_ == ConnectionState::Broken || request.kind != RequestKind::Retr) {
        co_return result;
    }
    const std::string refill = pipeline_->refillAfter(request.number);
    if (!refill.empty()) {
        if (auto fault = channel_.send(refill)) {
            breakWith(*fault);  // this answer is whole; the next call reports the failure
        }
    }
    co_return result;
}

Task<CallResult> Pop3Connection::readAnswer(Request request, HeaderCollector* headers) {
    Reply reply;
    if (auto fault = co_await channel_.readReply(reply)) {
        co_return breakWith(*fault);
    }
    if (!reply.ok) {
        co_return Failed(ServerErrorText(reply.text));
    }
    if (request.kind == RequestKind::List) {
        // "+OK n size" for the message asked about, size within the caller's 32 bits.
        const std::string_view text = reply.text;
        const auto blank = text.find(' ');
        const auto size = blank == std::string_view::npos
                              ? std::nullopt
                              : ParseCount(FirstWord(text.substr(blank + 1)));
        if (!size || FirstWord(text) != std::to_string(request.number)) {
            co_return breakWith(ProtocolErrorText("+OK " + reply.text));
        }
        co_return Succeeded(static_cast<int>(*size));
    }
    const std::size_t maxLines =
        request.kind == RequestKind::Top ? channel_.limits().maxListLines : kNoLineLimit;
    Pop3Channel::LineSink sink;
    if (headers != nullptr) {
        sink = [headers](std::string_view line) { headers->addLine(line); };
    }
    if (auto fault = co_await channel_.readLines(std::move(sink), maxLines)) {
        co_return breakWith(*fault);
    }
    co_return Succeeded(1);
}

Task<LinkFault> Pop3Connection::discardAnswer(Request request) {
    Reply reply;
    if (auto fault = co_await channel_.readReply(reply)) {
        co_return fault;
    }
    if (!reply.ok || request.kind == RequestKind::List) {
        co_return std::nullopt;
    }
    const std::size_t maxLines =
        request.kind == RequestKind::Top ? channel_.limits().maxListLines : kNoLineLimit;
    co_return co_await channel_.readLines({}, maxLines);
}

}  // namespace breezel::pop3
