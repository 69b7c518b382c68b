#include "imap/ImapMailLibrary.h"

#include <limits>
#include <vector>

#include "imap/ErrorText.h"
#include "imap/ImapSession.h"
#include "net/ServerAddress.h"

namespace breezel {

ImapMailLibrary::ImapMailLibrary(net::TransportFactory& transports, imap::ImapLimits limits)
    : transports_(transports), limits_(limits) {}

ImapMailLibrary::~ImapMailLibrary() = default;

int ImapMailLibrary::NMailInitializeWinSock() {
    return 1;  // the transport sets itself up per connection
}

int ImapMailLibrary::NMailSetOption(int /*option*/, int /*value*/) {
    return 1;  // accepted and ignored: no option changes how this library works
}

int ImapMailLibrary::NMailEndWinSock() {
    return 1;
}

Task<int> ImapMailLibrary::NMailPop3Connect(net::Mailbox mailbox) {
    const std::optional<net::ServerAddress>& address = mailbox.address;
    if (!address || address->protocol != net::Protocol::Imap) {
        co_return fail(imap::BadServerNameText(mailbox.server));
    }
    std::unique_ptr<net::Transport> transport = transports_.create();
    if (!transport) {
        co_return fail(imap::LinkFailureText({net::TransportCode::Other, {}}));
    }
    auto session = std::make_unique<imap::ImapSession>(std::move(transport), *address, limits_);
    if (report(co_await session->open()) < 0) {
        co_return -1;
    }
    const int handle = newHandle();
    sessions_[handle] = std::move(session);
    folders_[handle] = std::move(mailbox.folders);
    lastHandle_ = handle;
    co_return handle;
}

Task<int> ImapMailLibrary::NMailPop3Authenticate(int handle, std::string id,
                                                 net::Credential credential, int /*apop*/) {
    imap::ImapSession* session = find(handle);
    if (session == nullptr) {
        co_return -1;
    }
    co_return report(co_await session->logInAndCount(std::move(id), std::move(credential.secret),
                                                     folders_[handle]));
}

Task<int> ImapMailLibrary::NMailPop3GetMailStatus(int handle, int, MailTexts& texts, int) {
    texts = MailTexts{};
    return refuseMessageCall(handle);
}

Task<int> ImapMailLibrary::NMailPop3GetMailSize(int handle, int) {
    return refuseMessageCall(handle);
}

Task<int> ImapMailLibrary::NMailPop3GetMail(int handle, int, MailTexts& texts, int, int) {
    texts = MailTexts{};
    return refuseMessageCall(handle);
}

Task<int> ImapMailLibrary::refuseMessageCall(int handle) {
    if (find(handle) != nullptr) {
        fail(imap::NoMessageCallsText());
    }
    co_return -1;
}

Task<int> ImapMailLibrary::NMailPop3Close(int handle) {
    imap::ImapSession* session = find(handle);
    if (session == nullptr) {
        co_return -1;
    }
    co_await session->logOut();
    sessions_.erase(handle);
    folders_.erase(handle);
    co_return 1;
}

bool ImapMailLibrary::NMailPop3Connected(int handle) {
    const auto it = sessions_.find(handle);
    return it != sessions_.end() && it->second->state() != imap::SessionState::Broken;
}

bool ImapMailLibrary::loginRefused(int handle) {
    const auto it = sessions_.find(handle);
    return it != sessions_.end() && it->second->loginRefused();
}

std::string ImapMailLibrary::NMailGetMessage(int) {
    return lastFailure_;
}

imap::ImapSession* ImapMailLibrary::find(int handle) {
    const auto it = sessions_.find(handle);
    if (it == sessions_.end()) {
        fail(imap::UnknownHandleText(handle));
        return nullptr;
    }
    return it->second.get();
}

int ImapMailLibrary::report(const net::CallResult& result) {
    if (result.failure) {
        lastFailure_ = result.failure.text;
    }
    return result.value;
}

int ImapMailLibrary::fail(std::string text) {
    lastFailure_ = std::move(text);
    return -1;
}

int ImapMailLibrary::newHandle() const {
    // Counting up keeps a stale handle from reaching a newer connection; wraps after 2^31.
    int handle = lastHandle_;
    do {
        handle = handle == std::numeric_limits<int>::max() ? 1 : handle + 1;
    } while (sessions_.count(handle) != 0);
    return handle;
}

}  // namespace breezel
