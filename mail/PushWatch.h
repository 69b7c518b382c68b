#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/Task.h"
#include "controls/Signal.h"
#include "mail/Credentials.h"
#include "net/Mailbox.h"
#include "platform/MailPush.h"

namespace breezel {

class FormContext;
class MailCheck;

/// Push: while automatic checks are on, one more connection watches the mailbox of an IMAP
/// server that offers IDLE, and the server's word of new mail is counted on it and announced
/// at once as a check's count is. The interval's checks go on beside it.
///
/// The connection follows the settings (server name, account, automatic checks on or off) and
/// comes back by itself after the link is lost; mail that arrived meanwhile is announced once
/// it is back. Its waits (BackOff) start at about a second and double, at most 8 s apart for
/// the first two minutes and then up to five minutes apart: a server that cannot be reached
/// counts from a second again after each connection made, sessions lost soon after their login
/// only after one that stayed up kSteadyMs. A refused login shows nothing here (the next check
/// reports it) and is not tried again until the settings change or a check logs in; a refused IDLE
/// means no push on that server until the settings change, a server without IDLE is asked again
/// after an hour. However fast the server tells of mail, it is counted at most once in
/// kRecountGapMs. It never runs a timer of its own but these waits.
class PushWatch {
public:
    /// Watches the mailbox named key: "" for the first mailbox, else a further one's section.
    PushWatch(FormContext& context, MailCheck& check, std::string key = {});
    ~PushWatch();
    PushWatch(const PushWatch&) = delete;
    PushWatch& operator=(const PushWatch&) = delete;

    /// Opens, keeps or closes the connection as the settings now are; it also follows their
    /// changes by itself from the first call on.
    void follow();
    /// The program ends: the connection logs out.
    void stop();
    /// Whether a connection is open and waiting for news.
    bool watching() const { return watching_; }
    /// The machine goes to sleep or the network went: the connection logs out, and none is
    /// tried until relink().
    void pause();
    /// The network is up after a pause, or moved to another link: what is left of the
    /// connection is dropped and a new one made at once, its waits starting from a second.
    /// forget: what came meanwhile is left to a check that catches up (after a wake).
    void relink(bool forget);

    /// The first wait after a lost connection, and the longest.
    static constexpr std::int64_t kFirstRetryMs = 1000;
    static constexpr std::int64_t kLastRetryMs = 5 * 60 * 1000;
    /// For this long after a loss the waits stay this short: a server that restarts is back
    /// within a minute or two, and its users' mail within seconds of its return.
    static constexpr std::int64_t kRestartMs = 2 * 60 * 1000;
    static constexpr std::int64_t kRestartRetryMs = 8000;
    /// A connection that stayed up this long starts the waits from kFirstRetryMs again.
    static constexpr std::int64_t kSteadyMs = 60 * 1000;
    /// A server without IDLE is asked again after this long.
    static constexpr std::int64_t kNoIdleRetryMs = 60 * 60 * 1000;
    /// The least time from one count on the connection to the next.
    static constexpr std::int64_t kRecountGapMs = 2000;

private:
    /// Where INBOX stood when last seen: news of mail that came while no connection watched.
    struct Mark {
        std::uint32_t uidValidity = 0;
        std::uint32_t uidNext = 0;
    };

    /// The mailbox push should watch now; nothing when it should be off.
    std::optional<net::Mailbox> wanted();
    /// Ends the loop and its connection, if any (logging out).
    void end();
    Task<> watch(net::Mailbox mailbox);
    /// Opens session_ for mailbox with its credential (a token refused by the server renewed
    /// once), never asking the user.
    Task<PushOpened> open(net::Mailbox mailbox);
    /// Counts on the connection and hands the count to the check.
    Task<> announce();
    /// Waits that double from kFirstRetryMs, at most kRestartRetryMs apart for kRestartMs from
    /// the first, then at most kLastRetryMs.
    struct BackOff {
        bool failing = false;
        std::uint32_t since = 0;
        std::int64_t lastMs = 0;
        /// The next wait, counting a failure at now.
        std::int64_t next(std::uint32_t now);
    };
    /// Milliseconds on the program's clock.
    std::uint32_t now() const;
    /// Ends the loop and starts it anew, its waits from the first (unless paused).
    void restart();
    /// Closes and forgets the session, if any.
    void closeSession();

    FormContext& context_;
    MailCheck& check_;
    const std::string key_;
    Credentials credentials_;
    ScopedConnection checksSwitched_;
    ScopedConnection mailboxChanged_;
    ScopedConnection loggedIn_;
    bool following_ = false;
    std::unique_ptr<PushSession> session_;
    // The mailbox the loop watches, or last tried.
    std::optional<net::Mailbox> account_;
    /// Why the loop ended for good for account_, or waits an hour.
    enum class Rest {
        None,
        LoginRefused,  // until the settings change or a check logs in
        IdleRefused,   // until the settings change
        NoIdle,        // an hour, or until the settings change
    };
    Rest rest_ = Rest::None;
    bool paused_ = false;
    bool watching_ = false;
    // Sessions that logged in and were lost before kSteadyMs: only a steady one starts these
    // waits from the first again. Openings that failed: any connection made starts them anew,
    // so that a server back from a restart is found within seconds.
    BackOff lost_;
    BackOff unreachable_;
    std::optional<std::uint32_t> lastCount_;
    std::optional<Mark> mark_;
    // Last, so that the loop goes before what it uses.
    TaskScope loop_;
};

}  // namespace breezel
