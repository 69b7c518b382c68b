#include "mail/PushWatch.h"

#include <algorithm>
#include <utility>

#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "mail/MailCheck.h"
#include "platform/MailPush.h"
#include "platform/SignIn.h"
#include "platform/Wait.h"

namespace breezel {

PushWatch::PushWatch(FormContext& context, MailCheck& check, std::string key)
    : context_(context), check_(check), key_(std::move(key)), credentials_(context.services()) {}

PushWatch::~PushWatch() {
    // The loop first: it may be suspended on the connection.
    loop_.cancelAll();
}

std::optional<net::Mailbox> PushWatch::wanted() {
    if (!context_.hasMainForm() || context_.mainForm().Check3.value() != 1) {
        return std::nullopt;
    }
    // As the check does: only a saved account takes part.
    std::optional<net::Mailbox> mailbox;
    if (key_.empty()) {
        mailbox = context_.savedFirstMailbox();
        // Without a password of its own, the desktop's account may serve it: open() asks.
        if (mailbox->server.empty() ||
            (!net::HasAccount(*mailbox) && !Credentials::MayBeTheDesktops(*mailbox))) {
            return std::nullopt;
        }
        return mailbox;
    }
    for (net::Mailbox& further : context_.furtherMailboxes()) {
        if (further.key == key_ && net::TakesPart(further)) {
            mailbox = std::move(further);
        }
    }
    return mailbox;
}

void PushWatch::follow() {
    if (!following_ && context_.hasMainForm()) {
        following_ = true;
        checksSwitched_ = context_.mainForm().Check3.changed.connectScoped([this] { follow(); });
        mailboxChanged_ = context_.mailboxChanged.connectScoped([this] {
            // Set anew (a password kept elsewhere may have changed): a resting watch tries again.
            if (resting_) {
                end();
                resting_ = false;
                account_.reset();
            }
            follow();
        });
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
    const std::optional<net::Mailbox> account = wanted();
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

Task<> PushWatch::watch(net::Mailbox account) {
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

Task<PushOpened> PushWatch::open(net::Mailbox mailbox) {
    PushOpened opened;
    const Credentials::Attempt attempt =
        [this, &mailbox, &opened](const net::Credential& credential) -> Task<LoginTry> {
        if (session_) {
            session_->close();
        }
        session_ = context_.services().push.create();
        opened = co_await session_->open(mailbox, credential);
        co_return opened.credentialsRefused ? LoginTry::CredentialsRefused : LoginTry::Done;
    };
    // As the check does, but never asking the user: without a token it rests.
    const CredentialAnswer answer = co_await credentials_.logIn(mailbox, false, attempt);
    if (!answer.credential) {
        session_ = context_.services().push.create();
        opened = PushOpened{};
        opened.result = PushOpened::Result::Refused;
        opened.failure = answer.failure;
    }
    co_return opened;
}

Task<> PushWatch::announce() {
    const int count = co_await session_->countUnseen();
    if (mark_) {
        mark_->uidNext = session_->expectedUidNext();
    }
    // The check's own reaction, not this loop's: a change of settings that ends the loop
    // does not cut the board and the alert short.
    context_.spawn(check_.CheckCounted(key_, count));
}

}  // namespace breezel
