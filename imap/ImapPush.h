#pragma once

#include <memory>

#include "imap/ImapLimits.h"
#include "net/Transport.h"
#include "platform/MailPush.h"

namespace breezel {

/// Makes IMAP push sessions over the transports of factory, which must outlive them.
class ImapPush : public MailPush {
public:
    explicit ImapPush(net::TransportFactory& transports, imap::ImapLimits limits = {});

    std::unique_ptr<PushSession> create() override;

private:
    net::TransportFactory& transports_;
    imap::ImapLimits limits_;
};

}  // namespace breezel
