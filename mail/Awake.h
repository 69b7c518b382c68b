#pragma once

#include "controls/Signal.h"
#include "platform/SystemEvents.h"

namespace breezel {

class CheckSchedule;
class FormContext;
class MailCheck;
class PushWatches;

/// The machine's sleep and network, followed once for every push watch and the checks:
/// - before sleep every push connection logs out, and sleep waits for that;
/// - on wake what is left of them is dropped; once the network is up they are made again at
///   once, and one check catches up on what came meanwhile (with automatic checks on), from
///   which the interval is counted anew;
/// - while the network is down no connection is tried; back, or moved to another link, the
///   connections made over the old one are dropped and made again at once.
/// Without news of the network (Unknown) it counts as up.
class Awake {
public:
    Awake(FormContext& context, MailCheck& check, CheckSchedule& schedule, PushWatches& pushes);
    Awake(const Awake&) = delete;
    Awake& operator=(const Awake&) = delete;

    /// Follows the system's events from now on.
    void follow();
    /// Whether connections may be made now: awake, and the network not known to be down.
    bool online() const;

private:
    void sleeping(const SleepDelay& delay);
    void woke();
    void networkChanged();
    /// Tells the watches to make their connections again, and catches up after a wake.
    void relink();

    FormContext& context_;
    MailCheck& check_;
    CheckSchedule& schedule_;
    PushWatches& pushes_;
    ScopedConnection sleeping_;
    ScopedConnection woke_;
    ScopedConnection networkChanged_;
    bool asleep_ = false;
    // Woke, and the check that catches up has not run yet.
    bool catchUp_ = false;
    NetworkState network_;
};

}  // namespace breezel
