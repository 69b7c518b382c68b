#include "pop3/Pop3MailLibrary.h"

#include <limits>

#include "net/ServerAddress.h"
#include "pop3/ErrorText.h"
#include "pop3/Pop3Connection.h"

namespace breezel {

Pop3MailLibrary::Pop3MailLibrary(net::TransportFactory& transports, pop3::Pop3Limits limits)
    : transports_(transports), limits_(limits) {}

Pop3MailLibrary::~Pop3MailLibrary() = default;

int Pop3MailLibrary::NMailInitializeWinSock() {
    return 1;  // the transport sets itself up per connection
}

int Pop3MailLibrary::NMailSetOption(int /*option*/, int /*value*/) {
    return 1;  // accepted and ignored: no option changes how this library works
}

int Pop3MailLibrary::NMailEndWinSock() {
    return 1;
}

Task<int> Pop3MailLibrary::NMailPop3Connect(net::Mailbox mailbox) {
    const std::optional<net::ServerAddress>& address = mailbox.address;
    if (!address || address->protocol != net::Protocol::Pop3) {
        co_return fail(pop3::BadServerNameText(mailbox.server));
    }
    std::unique_ptr<net::Transport> transport = transports_.create();
    if (!transport) {
        co_return fail(pop3::LinkFailureText({net::TransportCode::Other, {}}));
    }
    auto connection =
        std::make_unique<pop3::Pop3Connection>(std::move(transport), *address, limits_);
    if (report(co_await connection->open()) < 0) {
        co_return -1;
    }
    const int handle = newHandle();
    connections_[handle] = std::move(connection);
    lastHandle_ = handle;
    co_return handle;
}

Task<int> Pop3MailLibrary::NMailPop3Authenticate(int handle, std::string id,
                                                 net::Credential credential, int apop) {
    pop3::Pop3Connection* connection = find(handle);
    if (connection == nullptr) {
        co_return -1;
    }
    co_return report(
        co_await connection->authenticate(std::move(id), std::move(credential.secret), apop != 0));
}

Task<int> Pop3MailLibrary::NMailPop3GetMailStatus(int handle, int number, MailTexts& texts, int) {
    pop3::Pop3Connection* connection = find(handle);
    if (connection == nullptr) {
        co_return -1;
    }
    co_return report(co_await connection->status(number, texts));
}

Task<int> Pop3MailLibrary::NMailPop3GetMailSize(int handle, int number) {
    pop3::Pop3Connection* connection = find(handle);
    if (connection == nullptr) {
        co_return -1;
    }
    co_return report(co_await connection->size(number));
}

Task<int> Pop3MailLibrary::NMailPop3GetMail(int handle, int number, MailTexts& texts, int, int) {
    pop3::Pop3Connection* connection = find(handle);
    if (connection == nullptr) {
        co_return -1;
    }
    co_return report(co_await connection->retrieve(number, texts));
}

Task<int> Pop3MailLibrary::NMailPop3Close(int handle) {
    pop3::Pop3Connection* connection = find(handle);
    if (connection == nullptr) {
        co_return -1;
    }
    co_await connection->quit();
    connections_.erase(handle);
    co_return 1;
}

bool Pop3MailLibrary::NMailPop3Connected(int handle) {
    const auto it = connections_.find(handle);
    return it != connections_.end() && it->second->state() != pop3::ConnectionState::Broken;
}

bool Pop3MailLibrary::loginRefused(int handle) {
    const auto it = connections_.find(handle);
    return it != connections_.end() && it->second->loginRefused();
}

std::string Pop3MailLibrary::NMailGetMessage(int) {
    return lastFailure_;
}

pop3::Pop3Connection* Pop3MailLibrary::find(int handle) {
    const auto it = connections_.find(handle);
    if (it == connections_.end()) {
        fail(pop3::UnknownHandleText(handle));
        return nullptr;
    }
    return it->second.get();
}

int Pop3MailLibrary::report(const net::CallResult& result) {
    if (result.failure) {
        lastFailure_ = result.failure.text;
    }
    return result.value;
}

int Pop3MailLibrary::fail(std::string text) {
    lastFailure_ = std::move(text);
    return -1;
}

int Pop3MailLibrary::newHandle() const {
    // Counting up keeps a stale handle from reaching a newer connection; wraps after 2^31.
    int handle = lastHandle_;
    do {
        handle = handle == std::numeric_limits<int>::max() ? 1 : handle + 1;
    } while (connections_.count(handle) != 0);
    return handle;
}

}  // namespace breezel
