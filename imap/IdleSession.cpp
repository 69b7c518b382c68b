#include "imap/IdleSession.h"

#include <utility>

#include "imap/ErrorText.h"

namespace breezel::imap {

Task<CallResult> IdleSession::logInAndExamine(std::string id, Secret password,
                                              std::vector<std::string> folders) {
    if (auto refused = follow(folders)) {
        co_return *refused;
    }
    std::vector<std::string> tags;
    // The capabilities may grow with the login (IDLE, ESEARCH): asked again in the same write.
    std::vector<std::string> then;  // (a braced list here trips gcc 12's coroutines)
    then.push_back("CAPABILITY");
    then.push_back("EXAMINE INBOX");
    CallResult login = co_await logIn(std::move(id), std::move(password), then, tags);
    if (login.value < 0) {
        co_return login;
    }
    Response answer;
    for (const std::string& tag : tags) {
        if (auto fault = co_await channel_.answerOf(tag, answer)) {
            co_return breakWith(*fault);
        }
    }
    if (answer.name != "OK") {
        co_return refuseWith(ServerErrorText(answer.text));
    }
    state_ = SessionState::Selected;
    if (caps_.notify && caps_.idle && mailboxes_.hasFolders()) {
        co_return co_await askNotify();
    }
    co_return Succeeded(1);
}

Task<PushNews> IdleSession::waitForNews() {
    mailboxes_.watch(true);
    while (state_ == SessionState::Selected || state_ == SessionState::Idling) {
        if (mailboxes_.takeNews()) {
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
        }
    }
    co_return state_ == SessionState::Refused ? PushNews::Refused : PushNews::Lost;
}

Task<CallResult> IdleSession::countUnseen() {
    if (state_ == SessionState::Broken || state_ == SessionState::Refused) {
        co_return repeatFailure();
    }
    if (state_ != SessionState::Selected && state_ != SessionState::Idling) {
        co_return CallResult{-1, {Failure::Kind::Refused, NotLoggedInText()}};
    }
    mailboxes_.watch(false);
    mailboxes_.takeNews();
    channel_.restartPace();
    const bool idling = state_ == SessionState::Idling;
    // SEARCH RETURN (COUNT) answers with one number. Plain SEARCH would list every unseen
    // message, an answer that grows with the mailbox and passes the response bound for a large
    // one; STATUS answers one number too. RFC 3501 advises against STATUS on the selected
    // mailbox as a way to learn of new mail, but new mail comes from IDLE: here it only counts.
    std::string bytes = idling ? "DONE\r\n" : "";
    const std::vector<std::string> commands = mailboxes_.planCount(caps_.esearch);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        bytes += channel_.command(commands[i], mailboxes_.tag(i));
    }
    if (auto fault = channel_.send(bytes)) {
        co_return breakWith(*fault);
    }
    if (idling) {
        // What came before the IDLE's end, however much, the count includes.
        Response answer;
        if (auto fault = co_await channel_.answerOf(idleTag_, answer)) {
            co_return breakWith(*fault);
        }
        state_ = SessionState::Selected;
    }
    // What comes after may have missed the count: one pending news for the next wait.
    mailboxes_.watch(true);
    CallResult count = co_await readCounts();
    mailboxes_.watch(false);
    co_return count;
}

Task<CallResult> IdleSession::askNotify() {
    std::string tag;
    if (auto fault = channel_.send(channel_.command(mailboxes_.notifyCommand(), tag))) {
        co_return breakWith(*fault);
    }
    Response answer;
    if (auto fault = co_await channel_.answerOf(tag, answer)) {
        co_return breakWith(*fault);
    }
    // Refused, push watches INBOX alone; the checks still count every folder.
    notifying_ = answer.name == "OK";
    co_return Succeeded(1);
}

Task<LinkFault> IdleSession::enterIdle() {
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
        if (auto fault = co_await channel_.answerOf(previous, answer)) {
            co_return fault;
        }
    }
    if (auto fault = co_await channel_.answerOf(idleTag_, answer, true)) {
        co_return fault;
    }
    if (answer.kind == Response::Kind::Tagged) {
        if (answer.name == "OK") {
            co_return ProtocolErrorText(answer.opening);
        }
        // A server that refuses IDLE refuses it again on every new connection.
        refuseWith(ServerErrorText(answer.text));
        co_return std::nullopt;
    }
    channel_.startIdle();
    co_return std::nullopt;
}

LinkFault IdleSession::takeIdleResponse(const Response& response) {
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

}  // namespace breezel::imap
