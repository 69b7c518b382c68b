#include "mail/PushWatch.h"

#include <algorithm>

#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "mail/MailCheck.h"
#include "net/ServerAddress.h"
#include "platform/MailPush.h"
#include "platform/SignIn.h"
#include "platform/Wait.h"
#include "settings/ProfileKeys.h"

namespace breezel {

PushWatch::PushWatch(FormContext& context, MailCheck& check) : context_(context), check_(check) {}

PushWatch::~PushWatch() {
    // The loop first: it may be suspended on the connection.
    loop_.cancelAll();
}

std::optional<PushWatch::Account> PushWatch::wanted() {
    if (!context_.hasMainForm() || context_.mainForm().Check3.value() != 1) {
        return std::nullopt;
    }
    Account account;
    account.server = context_.settings().Pop3Server;
    // As the check does: only a saved account takes part.
    const IniFile file = context_.accountFile();
    account.id = file.readString(profile::kSection, profile::kAccountId, "");
    account.password = file.readString(profile::kSection, profile::kPassword, "");
    const auto address = net::ServerAddress::parse(account.server);
    // An account that signs in with a token has no password.
    const bool bearer = address && address->bearer();
    if (account.server.empty() || account.id.empty() || (account.password.empty() && !bearer)) {
        return std::nullopt;
    }
    return account;
}

void PushWatch::follow() {
    if (!following_ && context_.hasMainForm()) {
        following_ = true;
        checksSwitched_ = context_.mainForm().Check3.changed.connectScoped([this] { follow(); });
        mailboxChanged_ = context_.mailboxChanged.connectScoped([this] { follow(); });
        loggedIn_ = check_.loggedIn.connectScoped([this] {
            // The server and the account are good now: a connection that rests or waits to
            // try again tries at once.
            if (!watching_ && account_ == wanted()) {
                end();
                resting_ = false;
                follow();
            }
        });
    }
    const std::optional<Account> account = wanted();
    if (account == account_ && (loop_.size() > 0 || resting_)) {
        return;  // watching it, waiting to try again, or resting: as it should be
    }
    end();
    resting_ = false;
    account_ = account;
    if (account) {
        // Another mailbox, or the same after a pause: what it held before says nothing now.
        mark_.reset();
        loop_.spawn(watch(*account));
    }
}

void PushWatch::stop() {
    end();
    account_.reset();
}

void PushWatch::end() {
    loop_.cancelAll();
    watching_ = false;
    if (session_) {
        session_->close();
        session_.reset();
    }
}

Task<> PushWatch::watch(Account account) {
    std::int64_t retryMs = kFirstRetryMs;
    std::int64_t waited = 0;  // since the connection was lost
    for (;;) {
        const PushOpened opened = co_await open(account);
        if (opened.result == PushOpened::Result::Watching) {
            retryMs = kFirstRetryMs;
            waited = 0;
            const bool missed = mark_ && (mark_->uidValidity != opened.uidValidity ||
                                          opened.uidNext > mark_->uidNext);
            mark_ = Mark{opened.uidValidity, opened.uidNext};
            watching_ = true;
            if (missed) {
                co_await announce();
            }
            while (co_await session_->waitForNews() == PushNews::NewMail) {
                co_await announce();
            }
            watching_ = false;
        } else if (opened.result != PushOpened::Result::Failed) {
            // Refused or no push there: trying again would not help.
            session_->close();
            session_.reset();
            resting_ = true;
            co_return;
        }
        session_->close();
        session_.reset();
        co_await After(context_.services().timers, retryMs);
        waited += retryMs;
        retryMs = std::min(retryMs * 2, waited < kRestartMs ? kRestartRetryMs : kLastRetryMs);
    }
}

Task<PushOpened> PushWatch::open(Account account) {
    const auto address = net::ServerAddress::parse(account.server);
    if (!address || !address->bearer()) {
        session_ = context_.services().push.create();
        co_return co_await session_->open(account.server, account.id, account.password);
    }
    // As the check does, but never asking the user: without a token it rests.
    SignIn& signIn = context_.services().signIn;
    for (int attempt = 0;; ++attempt) {
        const AccessToken token = co_await signIn.accessToken(account.server, account.id, false);
        session_ = context_.services().push.create();
        if (token.token.empty()) {
            PushOpened refused;
            refused.result = PushOpened::Result::Refused;
            refused.failure = token.failure;
            co_return refused;
        }
        PushOpened opened = co_await session_->open(account.server, account.id, token.token);
        if (!opened.credentialsRefused || attempt > 0) {
            co_return opened;
        }
        // Refused, likely expired: renewed once.
        signIn.refused(account.server, account.id, token.token);
        session_->close();
    }
}

Task<> PushWatch::announce() {
    const int count = co_await session_->countUnseen();
    if (mark_) {
        mark_->uidNext = session_->expectedUidNext();
    }
    // The check's own reaction, not this loop's: a change of settings that ends the loop
    // does not cut the board and the alert short.
    context_.spawn(check_.CheckCounted(count));
}

}  // namespace breezel
