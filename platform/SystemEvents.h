#pragma once

#include <memory>
#include <string>

#include "controls/Signal.h"

namespace breezel {

/// While a copy of it lives, the machine does not go to sleep (for a second at most).
using SleepDelay = std::shared_ptr<void>;

/// The machine's network as the system reports it.
struct NetworkState {
    enum class Reach {
        Unknown,  ///< nobody reports it (no system bus, no network manager): taken as up
        Down,     ///< no link at all
        Up,       ///< a link is up
    };
    Reach reach = Reach::Unknown;
    /// Names the link that carries the traffic out (the primary connection): another name
    /// means that what was connected before went over another link (cable to Wi-Fi, a VPN).
    std::string link;
    bool operator==(const NetworkState&) const = default;
};

/// What the machine tells of itself: that it is about to sleep, that it woke, that its network
/// changed. Every signal comes from the event loop; nothing here waits.
class SystemEvents {
public:
    virtual ~SystemEvents() = default;
    /// The network now.
    virtual NetworkState network() const = 0;

    /// The machine is about to sleep. A listener that must finish something first keeps a copy
    /// of the delay until it has; sleep comes when every copy is gone, or a second later.
    Signal<SleepDelay> sleeping;
    /// The machine woke (or a sleep announced was called off).
    Signal<> woke;
    /// network() changed.
    Signal<> networkChanged;
};

}  // namespace breezel
