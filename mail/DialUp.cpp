#include "mail/DialUp.h"

#include <string>
#include <vector>

#include "platform/DialUpConnections.h"

namespace breezel {

void HangUpDialUpConnections(DialUpConnections& connections) {
    std::vector<std::string> active;
    if (!connections.enumerate(active)) {
        return;
    }
    for (const std::string& connection : active) {
        connections.hangUp(connection);
    }
}

}  // namespace breezel
