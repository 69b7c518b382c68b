#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/DialUpConnections.h"

class QObject;

namespace breezel {

/// Dial-up connections as NetworkManager sees them, over the D-Bus system bus. A machine
/// without a system bus or without NetworkManager has nothing to hang up. NetworkManager is
/// never started just to be asked, and every call is answered from the event loop within two
/// seconds, so a hung NetworkManager holds nothing up.
class NetworkManagerDialUp : public DialUpConnections {
public:
    NetworkManagerDialUp();
    ~NetworkManagerDialUp() override;
    NetworkManagerDialUp(const NetworkManagerDialUp&) = delete;
    NetworkManagerDialUp& operator=(const NetworkManagerDialUp&) = delete;

    /// Answers with the object paths of the active dial-up connections; at once when there
    /// is no system bus. A listing still under way when the adapter goes is never answered.
    void enumerate(std::function<void(List connections)> listed) override;
    /// Sends the deactivation and forgets it: its outcome is never read.
    void hangUp(const std::string& connection) override;

private:
    // Owns the watchers of the calls under way, so that none outlives the adapter.
    std::unique_ptr<QObject> calls_;
};

}  // namespace breezel
