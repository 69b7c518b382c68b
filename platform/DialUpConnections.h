#pragma once

#include <string>
#include <vector>

namespace breezel {

/// The machine's active dial-up connections (modem, mobile broadband, PPPoE and the like).
class DialUpConnections {
public:
    virtual ~DialUpConnections() = default;
    /// Lists the active dial-up connections; false when they cannot be listed.
    virtual bool enumerate(std::vector<std::string>& connections) = 0;
    /// Starts hanging up one connection; does not wait for the line to drop.
    virtual void hangUp(const std::string& connection) = 0;
};

}  // namespace breezel
