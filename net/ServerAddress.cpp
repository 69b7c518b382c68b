#include "net/ServerAddress.h"

#include <vector>

#include "common/AsciiText.h"
#include "net/Syntax.h"

namespace breezel::net {

namespace {

// The URL schemes, with their protocol, whether TLS starts at once, and their port.
struct Scheme {
    std::string_view prefix;
    Protocol protocol;
    bool tls;
    std::uint16_t port;
};
constexpr Scheme kSchemes[] = {
    {"pop3://", Protocol::Pop3, false, 110},
    {"pop3s://", Protocol::Pop3, true, 995},
    {"imap://", Protocol::Imap, false, 143},
    {"imaps://", Protocol::Imap, true, 993},
};
constexpr std::uint16_t kPlainPop3Port = 110;

bool IsBlankOrLineEnd(char c) {
    return ascii::IsBlank(c) || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Names and IPv4 addresses; bytes above ASCII let internationalized names through to the
// resolver, which knows how to encode them.
bool IsNameChar(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.' ||
           c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool IsV6Char(char c) {
    return IsHexDigit(c) || c == ':' || c == '.';
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    const auto value = ParseDecimal(text, 65535);
    if (!value || *value == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

// 127.0.0.0/8 written as four decimal parts.
bool IsLoopbackV4(std::string_view host) {
    int parts = 0;
    bool first127 = false;
    for (;;) {
        const auto dot = host.find('.');
        const auto part = ParseDecimal(host.substr(0, dot), 255);
        if (!part || ++parts > 4) {
            return false;
        }
        first127 = parts == 1 ? *part == 127 : first127;
        if (dot == std::string_view::npos) {
            return parts == 4 && first127;
        }
        host.remove_prefix(dot + 1);
    }
}

// One to four hex digits.
std::optional<unsigned> HexGroup(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (!IsHexDigit(c)) {
            return std::nullopt;
        }
        const char low = static_cast<char>(c | 0x20);
        value = value * 16 + static_cast<unsigned>(IsDigit(c) ? c - '0' : low - 'a' + 10);
    }
    return value;
}

// The groups of text, separated by ':'; none for an empty text.
std::optional<std::vector<unsigned>> HexGroups(std::string_view text) {
    std::vector<unsigned> groups;
    while (!text.empty()) {
        const auto colon = text.find(':');
        const auto group = HexGroup(text.substr(0, colon));
        if (!group || colon + 1 == text.size()) {
            return std::nullopt;
        }
        groups.push_back(*group);
        text.remove_prefix(colon == std::string_view::npos ? text.size() : colon + 1);
    }
    return groups;
}

// ::1 in any of its spellings: seven groups of zero, then 1, "::" standing for missing zeros.
bool IsLoopbackV6(std::string_view host) {
    const auto gap = host.find("::");
    const auto head = HexGroups(host.substr(0, gap));
    const auto tail =
        gap == std::string_view::npos ? std::vector<unsigned>{} : HexGroups(host.substr(gap + 2));
    if (!head || !tail) {
        return false;
    }
    const std::size_t given = head->size() + tail->size();
    if (gap == std::string_view::npos ? given != 8 : given > 7) {
        return false;
    }
    std::vector<unsigned> all = *head;
    all.resize(8 - tail->size(), 0);
    all.insert(all.end(), tail->begin(), tail->end());
    return all == std::vector<unsigned>{0, 0, 0, 0, 0, 0, 0, 1};
}

}  // namespace

std::optional<ServerAddress> ServerAddress::parse(std::string_view text) {
    text = ascii::Trim(text, IsBlankOrLineEnd);
    ServerAddress address;
    address.port = kPlainPop3Port;
    bool withScheme = false;
    for (const Scheme& scheme : kSchemes) {
        if (ascii::StartsWithNoCase(text, scheme.prefix)) {
            address.protocol = scheme.protocol;
            address.tls = scheme.tls;
            address.port = scheme.port;
            text.remove_prefix(scheme.prefix.size());
            withScheme = true;
            break;
        }
    }
    if (withScheme && ascii::StartsWithNoCase(text, ";AUTH=")) {
        const auto at = text.find('@');
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view mechanism = text.substr(6, at - 6);
        if (ascii::EqualNoCase(mechanism, "XOAUTH2")) {
            address.auth = Auth::XOAuth2;
        } else if (ascii::EqualNoCase(mechanism, "OAUTHBEARER")) {
            address.auth = Auth::OAuthBearer;
        } else if (mechanism == "*") {
            address.auth = Auth::AnyBearer;
        } else {
            return std::nullopt;  // a password's mechanisms need no naming
        }
        text.remove_prefix(at + 1);
    }

    std::string_view host;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (host.find(':') == std::string_view::npos) {
            return std::nullopt;
        }
        for (const char c : host) {
            if (!IsV6Char(c)) {
                return std::nullopt;
            }
        }
    } else {
        const auto colon = text.find(':');
        host = text.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon);
        for (const char c : host) {
            if (!IsNameChar(c)) {
                return std::nullopt;
            }
        }
    }
    if (host.empty()) {
        return std::nullopt;
    }
    if (!rest.empty()) {
        if (rest.front() != ':') {
            return std::nullopt;
        }
        const auto port = ParsePort(rest.substr(1));
        if (!port) {
            return std::nullopt;
        }
        address.port = *port;
    }
    address.host = std::string(host);
    return address;
}

bool ServerAddress::loopback() const {
    return ascii::EqualNoCase(host, "localhost") || IsLoopbackV4(host) || IsLoopbackV6(host);
}

}  // namespace breezel::net
