#include "mail/MailCheck.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/AsciiText.h"
#include "forms/FormContext.h"
#include "forms/IdPassForm.h"
#include "forms/MainForm.h"
#include "forms/MsgForm.h"
#include "forms/SetForm.h"
#include "mail/DialUp.h"
#include "net/Mailbox.h"
#include "platform/Desktop.h"
#include "platform/MailLibrary.h"
#include "platform/MessageBox.h"
#include "platform/ProgramLauncher.h"
#include "platform/SignIn.h"
#include "platform/Wait.h"
#include "settings/ProfileKeys.h"
#include "settings/ServerSettings.h"

namespace breezel {

std::string CutAtNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

namespace {
constexpr const char* kErrorTitle = "エラー";
constexpr const char* kNewMailText = "新着メールが有ります";
constexpr int kApopOn = -1;
constexpr int kBoardMs = 1000;
}  // namespace

namespace {
// Cleared however a check ends, also when the program goes while it waits.
struct Running {
    bool& flag;
    explicit Running(bool& running) : flag(running) { flag = true; }
    ~Running() { flag = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};
}  // namespace

MailCheck::MailCheck(FormContext& context)
    : context_(context),
      credentials_(context.services()),
      failureBox_(context.services().messages) {
    mailboxChangedSignal_ =
        context.mailboxChanged.connectScoped([this] { mailboxChanged_ = true; });
}

Task<> MailCheck::CheckMail(bool byHand) {
    if (running_) {
        co_return;
    }
    {
        const Running running(running_);
        co_await follow(co_await countAll(byHand));
    }
    co_await checkAgainWhileAsked();
}

Task<> MailCheck::CheckCounted(std::string key, int count) {
    if (running_) {
        checkAgain_ = true;
        co_return;
    }
    {
        const Running running(running_);
        std::vector<net::Mailbox> further = furtherTakingPart();
        if (further.empty()) {
            co_await follow(count);
        } else if (count >= 0 && !everyCountKnown(further)) {
            // A mailbox never counted yet would leave the total short: this news costs one
            // whole check instead.
            co_await follow(co_await countAll(false));
        } else {
            // News on one mailbox: the board shows the new total of all.
            if (count >= 0) {
                record(key, MailboxCount{count, {}, false, true});
            }
            co_await follow(count < 0 ? count : knownTotal(further));
        }
    }
    co_await checkAgainWhileAsked();
}

Task<> MailCheck::checkAgainWhileAsked() {
    while (checkAgain_ && !running_) {
        checkAgain_ = false;
        const Running running(running_);
        co_await follow(co_await countAll(false));
    }
}

Task<> MailCheck::follow(int count) {
    if (count > 0) {
        co_await announce(count);
    }
    if (context_.setForm().Check1.value() == 1) {
        co_await HangUpDialUpConnections(context_.services().dialUp);
    }
}

std::vector<net::Mailbox> MailCheck::furtherTakingPart() const {
    std::vector<net::Mailbox> further = context_.furtherMailboxes();
    std::erase_if(further, [](const net::Mailbox& m) { return !net::TakesPart(m); });
    return further;
}

Task<int> MailCheck::countAll(bool byHand) {
    // The browser opens only on the user's act, or for the first check of a new mailbox.
    const bool mayAsk = byHand || mailboxChanged_;
    mailboxChanged_ = false;
    std::vector<net::Mailbox> further = furtherTakingPart();
    if (further.empty()) {
        co_return co_await countFirstAlone(mayAsk);
    }

    auto round = std::make_shared<Round>();
    round->mayAsk = mayAsk;
    // A mailbox still being looked at by an earlier check (its server slow or dead) is left to it.
    if (!context_.settings().Pop3Server.empty() && inFlight_.count({}) == 0) {
        round->looks.push_back(Look{FirstMailbox(context_.settings()), {}});
    }
    for (net::Mailbox& mailbox : further) {
        if (inFlight_.count(mailbox.key) == 0) {
            round->looks.push_back(Look{std::move(mailbox), {}});
        }
    }
    // Side by side, a few sessions at a time: a slow or dead server holds back no other.
    round->left = std::min(round->looks.size(), kSessionsAtOnce);
    if (round->left > 0) {
        co_await Answer<Done>([this, &round](Answer<Done>::Reply done) {
            round->settle = [done] { done(Done{}); };
            const std::size_t workers = round->left;
            for (std::size_t n = 0; n < workers; ++n) {
                looks_.spawn(lookAt(round), [this, round] {
                    if (--round->left == 0) {
                        settle(*round);
                    }
                });
            }
        });
    }
    const std::vector<Look>& looks = round->looks;

    std::map<std::string, std::string> failures;
    bool anyLoggedIn = false;
    for (const Look& look : looks) {
        if (!look.done) {
            continue;  // still talking: told when it ends
        }
        record(look.mailbox.key, look.result);
        anyLoggedIn = anyLoggedIn || look.result.loggedIn;
        // A further mailbox's server that cannot be reached is named when the user asked; an
        // automatic check leaves that to the list, as a flaky network would otherwise box every
        // interval.
        const bool unreachable = look.result.count == 0 && !look.result.failure.empty();
        if ((look.result.count < 0 && look.result.tell) || (byHand && unreachable)) {
            failures[look.mailbox.name] = look.result.failure;
        }
    }
    // Mail found elsewhere is announced all the same; the box does not hold it back.
    failureBox_.tell(failures, byHand);
    if (anyLoggedIn) {
        loggedIn.notify();
    }
    co_return knownTotal(furtherTakingPart());
}

Task<> MailCheck::lookAt(std::shared_ptr<Round> round) {
    while (round->next < round->looks.size()) {
        const std::size_t index = round->next++;
        net::Mailbox mailbox = round->looks[index].mailbox;
        inFlight_.insert(mailbox.key);
        int handle = -1;
        round->looks[index].session = &handle;
        looks_.spawn(awaitAnswer(round, index));
        MailboxCount result;
        if (mailbox.first()) {
            result = co_await countFirst(round->mayAsk, handle);
            mailbox.name = FirstMailboxName(context_.settings());  // the account just read
        } else {
            result = co_await logInAndCount(mailbox, handle, round->mayAsk);
            if (handle != -1) {
                co_await context_.services().mail.NMailPop3Close(handle);
            }
        }
        inFlight_.erase(mailbox.key);
        round->looks[index].session = nullptr;
        if (round->settled) {
            lateLook(mailbox, result);
            continue;
        }
        round->looks[index] = Look{std::move(mailbox), std::move(result), true};
        if (!round->waitingForStragglers) {
            // The first answer sets how long the others may take before the check goes on.
            round->waitingForStragglers = true;
            looks_.spawn(awaitStragglers(round));
        }
        settleWithoutTheSilent(*round);
    }
}

Task<> MailCheck::awaitAnswer(std::shared_ptr<Round> round, std::size_t index) {
    co_await After(context_.services().timers, kSilentMs);
    round->looks[index].waited = true;
    settleWithoutTheSilent(*round);
}

void MailCheck::settleWithoutTheSilent(Round& round) {
    if (round.settled || round.next < round.looks.size()) {
        return;
    }
    bool anyDone = false;
    for (const Look& look : round.looks) {
        if (look.done) {
            anyDone = true;
        } else if (!look.waited || look.session == nullptr || *look.session != -1) {
            return;  // still talking, or not yet given its time
        }
    }
    // With nothing to tell yet there is nothing to hurry for.
    if (anyDone) {
        settle(round);
    }
}

Task<> MailCheck::awaitStragglers(std::shared_ptr<Round> round) {
    co_await After(context_.services().timers, kStragglerMs);
    settle(*round);
}

void MailCheck::settle(Round& round) {
    if (!round.settled) {
        round.settled = true;
        round.settle();
    }
}

void MailCheck::lateLook(const net::Mailbox& mailbox, const MailboxCount& result) {
    if (result.count > 0) {
        // As news on that mailbox: the board shows the new total.
        context_.spawn(CheckCounted(mailbox.key, result.count));
        return;
    }
    record(mailbox.key, result);
    if (result.count < 0 && result.tell) {
        failureBox_.tell({{mailbox.name, result.failure}}, false);
    }
}

Task<int> MailCheck::countFirstAlone(bool mayAsk) {
    const Services& services = context_.services();
    int handle = -1;
    const MailboxCount result = co_await countFirst(mayAsk, handle);
    if (!context_.settings().Pop3Server.empty()) {
        record("", result);
    }
    if (result.count < 0 && result.tell) {
        co_await Answer<Done>([&services, &result](Answer<Done>::Reply dismissed) {
            services.messages.showOk(result.failure, kErrorTitle, MessageBox::Icon::None,
                                     [dismissed] { dismissed(Done{}); });
        });
    } else if (result.count >= 0 && result.loggedIn) {
        loggedIn.notify();
    }
    co_return result.count;
}

Task<MailCheck::MailboxCount> MailCheck::countFirst(bool mayAsk, int& handle) {
    MailLibrary& mail = context_.services().mail;
    SharedSettings& settings = context_.settings();
    if (settings.Pop3Server.empty()) {
        co_return MailboxCount{};
    }
    net::Mailbox mailbox = FirstMailbox(settings);
    // A token account connects only once it has a token: a check that cannot sign in costs the
    // server nothing.
    if (!mailbox.bearer()) {
        handle = co_await mail.NMailPop3Connect(mailbox);
        if (handle == -1) {
            co_return MailboxCount{};
        }
    }

    // The account file is read afresh at every check: only a saved account takes part.
    const IniFile account = context_.accountFile();
    const std::string id = account.readString(profile::kSection, profile::kAccountId, "");
    const std::string password = account.readString(profile::kSection, profile::kPassword, "");
    context_.idPassForm().IdText.setText(id);
    context_.idPassForm().PassText.setText(password);
    settings.AccountId = id;
    settings.AccountPassword = password;
    mailbox.id = id;
    mailbox.password = Secret(password);

    MailboxCount result;
    bool hasAccount = net::HasAccount(mailbox);
    if (!hasAccount) {
        // The desktop's own account needs no password here.
        const std::optional<DesktopAccount> desktop = co_await credentials_.desktopAccount(mailbox);
        hasAccount = desktop.has_value();
    }
    if (!hasAccount) {
        context_.idPassForm().window.show();
    } else {
        result = co_await logInAndCount(mailbox, handle, mayAsk);
    }
    // The session ends before the box: a server is not held open for as long as the box is.
    if (handle != -1) {
        co_await mail.NMailPop3Close(handle);
        handle = -1;
    }
    co_return result;
}

void MailCheck::noteCount(const std::string& key, int count) {
    if (count >= 0) {
        record(key, MailboxCount{count, {}, false, true});
    }
}

void MailCheck::record(const std::string& key, const MailboxCount& result) {
    MailboxResult& kept = context_.mailboxResults()[key];
    kept.count = std::max(result.count, 0);
    kept.failure = result.failure;
    kept.when = context_.services().desktop.localDateTimeText();
    context_.mailboxResultsChanged.notify();
}

bool MailCheck::everyCountKnown(const std::vector<net::Mailbox>& further) {
    const auto& results = context_.mailboxResults();
    if (!context_.settings().Pop3Server.empty() && results.count({}) == 0) {
        return false;
    }
    return std::all_of(further.begin(), further.end(),
                       [&](const net::Mailbox& m) { return results.count(m.key) != 0; });
}

int MailCheck::knownTotal(const std::vector<net::Mailbox>& further) {
    std::int64_t total = 0;
    const auto add = [&](const std::string& key) {
        const auto kept = context_.mailboxResults().find(key);
        if (kept != context_.mailboxResults().end() && kept->second.failure.empty()) {
            total += kept->second.count;
        }
    };
    if (!context_.settings().Pop3Server.empty()) {
        add("");
    }
    for (const net::Mailbox& mailbox : further) {
        add(mailbox.key);
    }
    return static_cast<int>(std::min<std::int64_t>(total, std::numeric_limits<int>::max()));
}

std::string MailCheck::countsTip() {
    std::vector<net::Mailbox> shown = furtherTakingPart();
    if (shown.empty()) {
        return {};  // one mailbox: the board says it all
    }
    if (!context_.settings().Pop3Server.empty()) {
        shown.insert(shown.begin(), context_.savedFirstMailbox());
    }
    std::string tip;
    for (const net::Mailbox& mailbox : shown) {
        const auto kept = context_.mailboxResults().find(mailbox.key);
        if (kept == context_.mailboxResults().end()) {
            continue;
        }
        if (!tip.empty()) {
            tip += '\n';
        }
        tip += mailbox.name + ": ";
        tip += kept->second.failure.empty() ? std::to_string(kept->second.count) + " 通"
                                            : kept->second.failure;
    }
    return tip;
}

Task<MailCheck::MailboxCount> MailCheck::logInAndCount(net::Mailbox mailbox, int& handle,
                                                       bool mayAsk) {
    MailLibrary& mail = context_.services().mail;
    MailboxCount result;
    const Credentials::Attempt attempt =
        [&mail, &mailbox, &handle, &result](const net::Credential& credential) -> Task<LoginTry> {
        if (handle == -1) {
            handle = co_await mail.NMailPop3Connect(mailbox);
            if (handle == -1) {
                // The server is gone: nothing to tell, as for any check. A further mailbox's
                // list shows why; the first keeps its library calls as they always were.
                result.count = 0;
                if (!mailbox.first()) {
                    result.failure = CutAtNul(mail.NMailGetMessage(0));
                }
                co_return LoginTry::Done;
            }
        }
        result.count = co_await mail.NMailPop3Authenticate(handle, mailbox.id, credential,
                                                           mailbox.apop ? kApopOn : 0);
        if (result.count >= 0) {
            result.loggedIn = true;
            co_return LoginTry::Done;
        }
        result.failure = CutAtNul(mail.NMailGetMessage(0));
        result.tell = true;
        if (!mail.loginRefused(handle) || !credential.token()) {
            co_return LoginTry::Done;
        }
        // A renewed token goes on a connection of its own, made only once there is one.
        co_await mail.NMailPop3Close(handle);
        handle = -1;
        co_return LoginTry::CredentialsRefused;
    };
    const CredentialAnswer answer = co_await credentials_.logIn(mailbox, mayAsk, attempt);
    if (!answer.credential) {
        // Automatic checks stay quiet without a token, but for news the user must hear.
        result.count = -1;
        result.failure = answer.failure;
        result.tell = !answer.failure.empty() && (mayAsk || answer.tellAlways);
        co_return result;
    }
    if (result.count > 0 && handle != -1 && !mail.countsOnly(handle)) {
        MailTexts texts;
        // A session that is gone answers every call at once with a failure: walking on would
        // only spin through whatever count the server claimed.
        for (int n = 1; n <= result.count && mail.NMailPop3Connected(handle); ++n) {
            co_await mail.NMailPop3GetMailStatus(handle, n, texts, 0);
            // The size is asked as before, but no buffer is made from what the server claims:
            // the library reads the message and discards it as it streams.
            co_await mail.NMailPop3GetMailSize(handle, n);
            co_await mail.NMailPop3GetMail(handle, n, texts, 0, 0);
        }
    }
    co_return result;
}

Task<> MailCheck::announce(int count) {
    MainForm& main = context_.mainForm();
    const std::string_view program = ascii::Trim(main.Text7.text());
    // With no program chosen there is nothing to start: the mail is announced as without the
    // box, never by nothing at all.
    const bool noProgram = program.empty() || main.Text7.text() == MainForm::kNoMailProgram;
    if (main.Check2.value() != 0 && !noProgram) {
        if (main.Check2.value() == 1) {
            // A program that cannot be started is left alone, like one that ends at once.
            context_.services().launcher.start(std::string(program));
        }
        co_return;
    }

    MsgForm& board = context_.msgForm();
    board.Text1.setText(kNewMailText);
    board.Text2.setText(std::to_string(count));
    // Where the total comes from, one look away.
    const std::string tip = countsTip();
    board.Text1.setToolTip(tip);
    board.Text2.setToolTip(tip);
    const int autoClose = context_.setForm().Check2.value();
    if (autoClose == 1) {
        board.window.show();
        // The board may be closed by the user meanwhile: only the program is used after the wait.
        co_await WaitMilliseconds(context_.services().clock, context_.services().timers, kBoardMs);
        context_.closeMsgForm();
    } else if (autoClose == 0) {
        board.window.show();
    }
    context_.mainForm().Command2.click();
}

}  // namespace breezel
