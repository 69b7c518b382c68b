#include "net/Connect.h"

namespace breezel::net {

std::optional<CallResult> ConnectFailure(const TransportStatus& status,
                                         const ServerAddress& address) {
    if (status.ok()) {
        return std::nullopt;
    }
    std::string text = ConnectFailureText(status, address.host, address.port);
    if (status.code == TransportCode::Tls) {
        return CallResult{1, {Failure::Kind::Refused, std::move(text)}};
    }
    return CallResult{-1, {Failure::Kind::Broken, std::move(text)}};
}

Task<LinkFault> UpgradeToTls(Transport& transport, std::string host,
                             std::chrono::milliseconds timeout) {
    const TransportStatus status = co_await transport.startTls(std::move(host), timeout);
    if (status.code == TransportCode::Tls) {
        co_return LinkFailureText(status);
    }
    if (!status.ok()) {
        co_return LinkFailureText(TransportStatus{TransportCode::Tls, {}}) + ": " +
            LinkFailureText(status);
    }
    co_return std::nullopt;
}

}  // namespace breezel::net
