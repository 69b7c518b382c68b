#include "mail/PushWatch.h"

#include <algorithm>
#include <utility>

#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "mail/MailCheck.h"
#include "platform/Clock.h"
#include "platform/MailPush.h"
#include "platform/Services.h"
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
            if (rest_ != Rest::None) {
                end();
                rest_ = Rest::None;
                account_.reset();
            }
            follow();
        });
        loggedIn_ = check_.loggedIn.connectScoped([this] {
            // The account is good now: a refused login is worth another try. Nothing else
            // changes by it: a server that ends each session soon after the login would
            // otherwise get two logins per check.
            if (rest_ == Rest::LoginRefused && account_ == wanted()) {
                rest_ = Rest::None;
                restart();
            }
        });
    }
    const std::optional<net::Mailbox> account = wanted();
    if (account == account_ && (loop_.size() > 0 || rest_ != Rest::None || paused_)) {
        return;  // watching it, waiting to try again, resting, or paused: as it should be
    }
    end();
    rest_ = Rest::None;
    lost_ = {};
    unreachable_ = {};
    account_ = account;
    // Another mailbox, or the same after a pause: what it held before says nothing now.
    mark_.reset();
    if (account_ && !paused_) {
        loop_.spawn(watch(*account_));
    }
}

void PushWatch::stop() {
    end();
    account_.reset();
}

void PushWatch::pause() {
    paused_ = true;
    if (rest_ == Rest::None) {
        end();
    }
}

void PushWatch::relink(bool forget) {
    paused_ = false;
    if (forget) {
        mark_.reset();
    }
    if (rest_ == Rest::None) {
        restart();
    }
}

void PushWatch::restart() {
    end();
    lost_ = {};
    unreachable_ = {};
    if (account_ && !paused_) {
        loop_.spawn(watch(*account_));
    }
}

void PushWatch::end() {
    loop_.cancelAll();
    watching_ = false;
    closeSession();
}

void PushWatch::closeSession() {
    if (session_) {
        session_->close();
        session_.reset();
    }
}

std::uint32_t PushWatch::now() const {
    return context_.services().clock.milliseconds();
}

std::int64_t PushWatch::BackOff::next(std::uint32_t now) {
    if (!failing) {
        failing = true;
        since = now;
        lastMs = kFirstRetryMs;
    } else {
        // Elapsed modulo 2^32, as the clock wraps.
        const bool restarting = static_cast<std::uint32_t>(now - since) < kRestartMs;
        lastMs = std::min(lastMs * 2, restarting ? kRestartRetryMs : kLastRetryMs);
    }
    return lastMs;
}

Task<> PushWatch::watch(net::Mailbox account) {
    for (;;) {
        const PushOpened opened = co_await open(account);
        if (opened.result == PushOpened::Result::Watching) {
            const std::uint32_t since = now();
            unreachable_ = {};
            const bool missed = mark_ && (mark_->uidValidity != opened.uidValidity ||
                                          opened.uidNext > mark_->uidNext);
            mark_ = Mark{opened.uidValidity, opened.uidNext};
            watching_ = true;
            lastCount_.reset();
            if (missed) {
                co_await announce();
            } else if (check_.countsSeveral()) {
                // The total on the board and the list need this mailbox's count from the start,
                // not only from its first news.
                check_.noteCount(key_, co_await session_->countUnseen());
            }
            PushNews news = co_await session_->waitForNews();
            while (news == PushNews::NewMail) {
                co_await announce();
                news = co_await session_->waitForNews();
            }
            watching_ = false;
            closeSession();
            if (news == PushNews::Refused) {
                rest_ = Rest::IdleRefused;
                co_return;
            }
            if (static_cast<std::uint32_t>(now() - since) >= kSteadyMs) {
                lost_ = {};
            }
            co_await After(context_.services().timers, lost_.next(now()));
            continue;
        } else if (opened.result == PushOpened::Result::Unsupported) {
            closeSession();
            rest_ = Rest::NoIdle;
            co_await After(context_.services().timers, kNoIdleRetryMs);
            rest_ = Rest::None;
            if (paused_) {
                co_return;  // asked again once the network is back
            }
            continue;
        } else if (opened.result == PushOpened::Result::Refused) {
            closeSession();
            rest_ = Rest::LoginRefused;
            co_return;
        }
        closeSession();
        co_await After(context_.services().timers, unreachable_.next(now()));
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
    // The server does not set the pace: news within the gap waits for its end, and the one
    // count then covers all of it.
    if (lastCount_) {
        const std::uint32_t since = now() - *lastCount_;
        if (since < kRecountGapMs) {
            co_await After(context_.services().timers, kRecountGapMs - since);
        }
    }
    const int count = co_await session_->countUnseen();
    lastCount_ = now();
    if (mark_) {
        mark_->uidNext = session_->expectedUidNext();
    }
    // The check's own reaction, not this loop's: a change of settings that ends the loop
    // does not cut the board and the alert short.
    context_.spawn(check_.CheckCounted(key_, count));
}

}  // namespace breezel
