#include "imap/ImapPush.h"

#include "imap/ImapPushSession.h"

namespace breezel {

ImapPush::ImapPush(net::TransportFactory& transports, imap::ImapLimits limits)
    : transports_(transports), limits_(limits) {}

std::unique_ptr<PushSession> ImapPush::create() {
    return std::make_unique<ImapPushSession>(transports_, limits_);
}

}  // namespace breezel
