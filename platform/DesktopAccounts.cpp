#include "platform/DesktopAccounts.h"

#include <charconv>
#include <string_view>

#include "common/AsciiText.h"

namespace breezel {

namespace {

struct HostPort {
    std::string_view host;
    std::optional<std::uint16_t> port;
};

// "host", "host:port", "[v6]", "[v6]:port"; a bare IPv6 address has more than one colon.
HostPort Split(std::string_view text) {
    text = ascii::Trim(text);
    std::string_view rest;
    HostPort split;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return {text, std::nullopt};
        }
        split.host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
    } else if (const auto colon = text.find(':');
               colon != std::string_view::npos &&
               text.find(':', colon + 1) == std::string_view::npos) {
        split.host = text.substr(0, colon);
        rest = text.substr(colon);
    } else {
        split.host = text;
    }
    if (rest.starts_with(':')) {
        std::uint16_t port = 0;
        const auto digits = rest.substr(1);
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error != std::errc{} || end != digits.data() + digits.size()) {
            return {text, std::nullopt};  // matches no host a server name parses to
        }
        split.port = port;
    }
    return split;
}

}  // namespace

bool DesktopAccount::serves(const std::string& host, std::uint16_t port,
                            const std::string& user) const {
    const HostPort desktop = Split(imapHost);
    if (desktop.host.empty() || !ascii::EqualNoCase(desktop.host, host) ||
        (desktop.port && *desktop.port != port)) {
        return false;
    }
    return imapUser.empty() ? !email.empty() && ascii::EqualNoCase(email, user) : imapUser == user;
}

Task<std::optional<DesktopAccount>> DesktopAccounts::find(std::string host, std::uint16_t port,
                                                          std::string user, bool bearer) {
    for (DesktopAccount& account : co_await mailAccounts()) {
        if (account.oauth2 == bearer && account.serves(host, port, user)) {
            co_return std::move(account);
        }
    }
    co_return std::nullopt;
}

}  // namespace breezel
