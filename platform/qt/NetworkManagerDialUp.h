#pragma once

#include <string>
#include <vector>

#include "platform/DialUpConnections.h"

namespace breezel {

/// Dial-up connections as NetworkManager sees them, over the D-Bus system bus. A machine
/// without a system bus or without NetworkManager has nothing to hang up. NetworkManager is
/// never started just to be asked.
class NetworkManagerDialUp : public DialUpConnections {
public:
    /// Answers with the object paths of the active connections.
    bool enumerate(std::vector<std::string>& connections) override;
    void hangUp(const std::string& connection) override;
};

}  // namespace breezel
