#include "mail/MailCheck.h"

#include <string>

#include "common/AsciiText.h"
#include "forms/FormContext.h"
#include "forms/IdPassForm.h"
#include "forms/MainForm.h"
#include "forms/MsgForm.h"
#include "forms/SetForm.h"
#include "mail/DialUp.h"
#include "net/Mailbox.h"
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

MailCheck::MailCheck(FormContext& context) : context_(context), credentials_(context.services()) {
    mailboxChangedSignal_ =
        context.mailboxChanged.connectScoped([this] { mailboxChanged_ = true; });
}

Task<> MailCheck::CheckMail(bool byHand) {
    if (running_) {
        co_return;
    }
    {
        const Running running(running_);
        co_await follow(co_await countMailbox(byHand));
    }
    co_await checkAgainWhileAsked();
}

Task<> MailCheck::CheckCounted(int count) {
    if (running_) {
        checkAgain_ = true;
        co_return;
    }
    {
        const Running running(running_);
        co_await follow(count);
    }
    co_await checkAgainWhileAsked();
}

Task<> MailCheck::checkAgainWhileAsked() {
    while (checkAgain_ && !running_) {
        checkAgain_ = false;
        const Running running(running_);
        co_await follow(co_await countMailbox(false));
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

Task<int> MailCheck::countMailbox(bool byHand) {
    const Services& services = context_.services();
    MailLibrary& mail = services.mail;
    SharedSettings& settings = context_.settings();
    if (settings.Pop3Server.empty()) {
        co_return 0;
    }
    net::Mailbox mailbox = FirstMailbox(settings);
    int handle = -1;
    // A token account connects only once it has a token: a check that cannot sign in costs the
    // server nothing.
    if (!mailbox.bearer()) {
        handle = co_await mail.NMailPop3Connect(mailbox);
        if (handle == -1) {
            co_return 0;
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
    if (!net::HasAccount(mailbox)) {
        context_.idPassForm().window.show();
    } else {
        result = co_await logInAndCount(mailbox, handle, byHand);
    }
    // The session ends before the box: a server is not held open for as long as the box is.
    if (handle != -1) {
        co_await mail.NMailPop3Close(handle);
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

Task<MailCheck::MailboxCount> MailCheck::logInAndCount(net::Mailbox mailbox, int& handle,
                                                       bool byHand) {
    MailLibrary& mail = context_.services().mail;
    // The browser opens only on the user's act, or for the first check of a new mailbox.
    const bool mayAsk = byHand || mailboxChanged_;
    mailboxChanged_ = false;
    MailboxCount result;
    const Credentials::Attempt attempt =
        [&mail, &mailbox, &handle, &result](const net::Credential& credential) -> Task<LoginTry> {
        if (handle == -1) {
            handle = co_await mail.NMailPop3Connect(mailbox);
            if (handle == -1) {
                result.count = 0;  // the server is gone: nothing to tell, as for any check
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
