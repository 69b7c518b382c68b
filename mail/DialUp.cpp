#include "mail/DialUp.h"

#include <string>
#include <vector>

#include "platform/DialUpConnections.h"

namespace breezel {

Task<> HangUpDialUpConnections(DialUpConnections& connections) {
    const DialUpConnections::List active = co_await Answer<DialUpConnections::List>(
        [&connections](Answer<DialUpConnections::List>::Reply reply) {
            connections.enumerate(std::move(reply));
        });
    if (!active) {
        co_return;
    }
    for (const std::string& connection : *active) {
        connections.hangUp(connection);
    }
}

}  // namespace breezel
