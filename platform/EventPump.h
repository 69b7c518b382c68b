#pragma once

namespace breezel {

/// Runs the program's pending events (timer ticks, clicks, paints) from inside a reaction.
class EventPump {
public:
    virtual ~EventPump() = default;
    /// Handles the pending events, waiting at most maxWaitMs for more to arrive.
    virtual void processEvents(int maxWaitMs) = 0;
};

}  // namespace breezel
