#include "net/Mailbox.h"

#include <utility>

namespace breezel::net {

Mailbox MailboxAt(std::string server, std::string id) {
    Mailbox mailbox;
    mailbox.address = ServerAddress::parse(server);
    mailbox.server = std::move(server);
    mailbox.name = id.empty() ? mailbox.server : id;
    mailbox.id = std::move(id);
    return mailbox;
}

bool HasAccount(const Mailbox& mailbox) {
    return !mailbox.id.empty() && (mailbox.bearer() || !mailbox.password.empty() ||
                                   mailbox.secretSource == SecretSource::Keyring);
}

bool TakesPart(const Mailbox& mailbox) {
    return mailbox.enabled && mailbox.address && HasAccount(mailbox);
}

}  // namespace breezel::net
