#include "net/Sasl.h"

#include <algorithm>
#include <cstdint>

namespace breezel::net {

namespace {

// Ends each field of a bearer message; two end the message.
constexpr char kEnd = '\x01';

// XOAUTH2's response (Google's and Microsoft's mail servers): user, then the bearer token.
std::string XOAuth2Message(std::string_view id, std::string_view token) {
    std::string message = "user=";
    message += id;
    message += kEnd;
    message += "auth=Bearer ";
    message += token;
    message += kEnd;
    message += kEnd;
    return message;
}

// RFC 7628: the GS2 header names the authorization identity, where ',' and '=' are escaped
// (RFC 5801's saslname); then the host and port the client connected to, and the token.
std::string OAuthBearerMessage(std::string_view id, const ServerAddress& address,
                               std::string_view token) {
    std::string message = "n,";
    if (!id.empty()) {
        message += "a=";
        for (const char c : id) {
            if (c == ',') {
                message += "=2C";
            } else if (c == '=') {
                message += "=3D";
            } else {
                message += c;
            }
        }
    }
    message += ',';
    message += kEnd;
    message += "host=";
    message += address.host;
    message += kEnd;
    message += "port=";
    message += std::to_string(address.port);
    message += kEnd;
    message += "auth=Bearer ";
    message += token;
    message += kEnd;
    message += kEnd;
    return message;
}

}  // namespace

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        }
        for (std::size_t j = 0; j < 4; ++j) {
            out += j <= n ? kDigits[(group >> (18 - 6 * j)) & 0x3F] : '=';
        }
    }
    return out;
}

std::string PlainMessage(std::string_view id, std::string_view password) {
    std::string message(1, '\0');
    message += id;
    message += '\0';
    message += password;
    return Base64(message);
}

bool UsableCredentials(std::string_view id, std::string_view secret, bool bearer) {
    const std::string_view forbidden =
        bearer ? std::string_view("\r\n\0\x01", 4) : std::string_view("\r\n\0", 3);
    return id.find_first_of(forbidden) == std::string_view::npos &&
           secret.find_first_of(forbidden) == std::string_view::npos;
}

std::optional<BearerLogin> ChooseBearerLogin(const ServerAddress& address, bool offersXOAuth2,
                                             bool offersOAuthBearer, std::string_view id,
                                             std::string_view token) {
    const bool any = address.auth == Auth::AnyBearer;
    if (offersOAuthBearer && (any || address.auth == Auth::OAuthBearer)) {
        return BearerLogin{"OAUTHBEARER", Base64(OAuthBearerMessage(id, address, token)), "AQ=="};
    }
    if (offersXOAuth2 && (any || address.auth == Auth::XOAuth2)) {
        return BearerLogin{"XOAUTH2", Base64(XOAuth2Message(id, token)), ""};
    }
    return std::nullopt;
}

}  // namespace breezel::net
