#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace breezel {

/// The machine's active dial-up connections (modem, mobile broadband, PPPoE and the like).
/// Nothing here blocks: answers come back from the event loop.
class DialUpConnections {
public:
    using List = std::optional<std::vector<std::string>>;
    virtual ~DialUpConnections() = default;
    /// Lists the active dial-up connections; listed gets nothing when they cannot be listed.
    virtual void enumerate(std::function<void(List connections)> listed) = 0;
    /// Starts hanging up one connection; does not wait for the line to drop.
    virtual void hangUp(const std::string& connection) = 0;
};

}  // namespace breezel
