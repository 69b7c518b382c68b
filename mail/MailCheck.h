#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/Task.h"
#include "controls/Signal.h"
#include "mail/Credentials.h"
#include "mail/FailureBox.h"
#include "net/Mailbox.h"

namespace breezel {

/// The text before the first NUL character, or the whole text when it has none: how the
/// library's texts are read back.
std::string CutAtNul(std::string_view text);

class FormContext;

/// One complete look at the mailbox: connect, log in with the account file's ID and password
/// (or, for a server named with ;AUTH=, an OAuth2 token for the ID), walk every message, close;
/// then start the mail program, or show the notice board and start the alert when the mailbox
/// holds mail; last, hang up dial-up lines when asked to.
class MailCheck {
public:
    explicit MailCheck(FormContext& context);

    /// Runs a check to its end, suspended while it waits for the server, a box or the board.
    /// A request while a check runs (from a timer or a click meanwhile) ends at once, so two
    /// checks never overlap. byHand: the user asked for it, so a sign-in may open the browser
    /// (as it may at the first check after the server or the account changed), and a check that
    /// cannot sign in says why.
    Task<> CheckMail(bool byHand = false);
    /// The server told of new mail and count is what the connection it told counted: what
    /// follows any check's count follows it. When a check runs already, one more whole check
    /// follows that one instead, however often the server tells meanwhile. A count below 0 (the
    /// link failed) has nothing to follow but the hang-up.
    /// With several mailboxes, key names the one that told, and the board shows the new total;
    /// while some mailbox was never counted, one whole check runs instead.
    Task<> CheckCounted(std::string key, int count);
    /// Whether a check runs.
    bool running() const { return running_; }
    /// Whether further mailboxes take part: the board then shows a total, which needs every
    /// mailbox's count.
    bool countsSeveral() const { return !furtherTakingPart().empty(); }
    /// A count learnt without news (a push connection's as it opens): kept for the list and
    /// the board's total, not announced.
    void noteCount(const std::string& key, int count);

    /// A check logged in: the server and the account are good now.
    Signal<> loggedIn;

private:
    /// What one mailbox's look came to.
    struct MailboxCount {
        /// What the mailbox holds (> 0), 0 when there is nothing to tell, below 0 on failure.
        int count = 0;
        /// Why it failed, as the user's text.
        std::string failure;
        /// The failure is to be shown.
        bool tell = false;
        /// A login succeeded: the server and the account are good now.
        bool loggedIn = false;
    };

    /// A mailbox and what its look came to.
    struct Look {
        net::Mailbox mailbox;
        MailboxCount result;
        bool done = false;
        // While it runs, its session's handle: -1 until its server has answered.
        const int* session = nullptr;
        // Its server has had kSilentMs to answer.
        bool waited = false;
    };
    /// The looks of one check of several mailboxes, shared with the lookers, which may outlive
    /// the check when a server is slow.
    struct Round {
        std::vector<Look> looks;
        std::size_t next = 0;
        std::size_t left = 0;  // lookers still looking
        bool mayAsk = false;
        bool waitingForStragglers = false;
        // The check went on: a look that ends now is told on its own.
        bool settled = false;
        std::function<void()> settle;
    };
    /// How many sessions a check of several mailboxes keeps open at once.
    static constexpr std::size_t kSessionsAtOnce = 8;
    /// How long after the first mailbox answered a check waits for the others before it
    /// announces what it has; a slow one is announced when it ends.
    static constexpr std::int64_t kStragglerMs = 3000;
    /// A server that has said nothing this long is not waited for once every other mailbox is
    /// done. Shorter, and a server still in its TLS handshake would be left behind, its last
    /// count in the total and its mail announced a second time moments later.
    static constexpr std::int64_t kSilentMs = 1000;

    /// The further mailboxes that take part now.
    std::vector<net::Mailbox> furtherTakingPart() const;
    /// Looks at every mailbox that takes part; the total they hold (> 0), or 0.
    Task<int> countAll(bool byHand);
    /// Looks at the mailboxes of round not yet taken, one after another.
    Task<> lookAt(std::shared_ptr<Round> round);
    /// Goes on with the check kStragglerMs after round's first answer.
    Task<> awaitStragglers(std::shared_ptr<Round> round);
    /// Marks round's look at index as waited for once its server has had kSilentMs.
    Task<> awaitAnswer(std::shared_ptr<Round> round, std::size_t index);
    /// Goes on with the check when every look has ended but those whose server has said
    /// nothing for kSilentMs: a dead server delays nobody's mail for long, and is told about
    /// when it ends.
    void settleWithoutTheSilent(Round& round);
    void settle(Round& round);
    /// A look that ended after its check went on: told as news, or as its own failure.
    void lateLook(const net::Mailbox& mailbox, const MailboxCount& result);
    /// The first mailbox when it is the only one: its failure's box is awaited before anything
    /// follows.
    Task<int> countFirstAlone(bool mayAsk);
    /// Connects on handle, reads the account file afresh, logs in and learns the first
    /// mailbox's count; the session is closed, and handle -1 again, when it returns.
    Task<MailboxCount> countFirst(bool mayAsk, int& handle);
    /// Logs mailbox in on handle (connecting when it is -1; handle then changes, -1 when there
    /// is none) with its credential, a refused token renewed once, and walks its messages.
    Task<MailboxCount> logInAndCount(net::Mailbox mailbox, int& handle, bool mayAsk);
    /// Keeps what a mailbox's look came to, for the list and the board's tip.
    void record(const std::string& key, const MailboxCount& result);
    /// Whether every mailbox that takes part has been counted or has failed since the start.
    bool everyCountKnown(const std::vector<net::Mailbox>& further);
    /// The sum of the last counts of the mailboxes that take part.
    int knownTotal(const std::vector<net::Mailbox>& further);
    /// Each mailbox's count, a line each; empty with one mailbox.
    std::string countsTip();
    /// What follows the count: the mail program or the board and the alert, then the hang-up.
    Task<> follow(int count);
    Task<> announce(int count);
    /// The checks a push asked for while another ran.
    Task<> checkAgainWhileAsked();

    FormContext& context_;
    Credentials credentials_;
    FailureBox failureBox_;
    // Mailboxes being looked at now, by key.
    std::set<std::string> inFlight_;
    bool running_ = false;
    bool checkAgain_ = false;
    // The server or the account changed since the last check: the next one may sign in.
    bool mailboxChanged_ = false;
    ScopedConnection mailboxChangedSignal_;
    // The lookers and their timers, last: they go before anything they use.
    TaskScope looks_;
};

}  // namespace breezel
