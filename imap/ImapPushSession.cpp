#include "imap/ImapPushSession.h"

#include <vector>

#include "imap/ErrorText.h"
#include "imap/IdleSession.h"
#include "net/ServerAddress.h"

namespace breezel {

namespace {

using Result = PushOpened::Result;

PushOpened Failure(const net::CallResult& result) {
    return PushOpened{result.failure.refused() ? Result::Refused : Result::Failed,
                      result.failure.text};
}

}  // namespace

ImapPushSession::ImapPushSession(net::TransportFactory& transports, imap::ImapLimits limits)
    : transports_(transports), limits_(limits) {}

ImapPushSession::~ImapPushSession() = default;

Task<PushOpened> ImapPushSession::open(net::Mailbox mailbox, net::Credential credential) {
    close();
    const std::optional<net::ServerAddress>& address = mailbox.address;
    if (!address) {
        co_return PushOpened{Result::Refused, imap::BadServerNameText(mailbox.server)};
    }
    if (address->protocol != net::Protocol::Imap) {
        co_return PushOpened{Result::Unsupported, {}};
    }
    std::unique_ptr<net::Transport> transport = transports_.create();
    if (!transport) {
        co_return PushOpened{Result::Failed,
                             imap::LinkFailureText({net::TransportCode::Other, {}})};
    }
    session_ = std::make_unique<imap::IdleSession>(std::move(transport), *address, limits_);
    net::CallResult result = co_await session_->open();
    if (!result.failure) {
        result = co_await session_->logInAndExamine(mailbox.id, std::move(credential.secret),
                                                    mailbox.folders);
    }
    if (result.failure) {
        PushOpened failed = Failure(result);
        failed.credentialsRefused = session_->loginRefused();
        close();
        co_return failed;
    }
    if (!session_->offersIdle()) {
        close();
        co_return PushOpened{Result::Unsupported, {}};
    }
    co_return PushOpened{Result::Watching, {}, session_->uidValidity(), session_->uidNext()};
}

Task<PushNews> ImapPushSession::waitForNews() {
    if (!session_) {
        co_return PushNews::Lost;
    }
    co_return co_await session_->waitForNews();
}

Task<int> ImapPushSession::countUnseen() {
    if (!session_) {
        co_return -1;
    }
    co_return (co_await session_->countUnseen()).value;
}

std::uint32_t ImapPushSession::expectedUidNext() const {
    return session_ ? session_->expectedUidNext() : 0;
}

void ImapPushSession::close() {
    if (session_) {
        session_->hangUp();
        session_.reset();
    }
}

}  // namespace breezel
