#include "net/ErrorText.h"

#include "common/Utf8.h"

namespace breezel::net {

namespace {

constexpr std::size_t kExcerptBytes = 80;
// Transport details are ours (socket and certificate reasons), possibly several joined.
constexpr std::size_t kDetailBytes = 400;

std::string WithoutLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

// Keeps the detail's own language; only control characters go.
std::string CleanDetail(std::string_view detail) {
    std::string out;
    for (const char c : detail) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        }
    }
    return Utf8PrefixBytes(out, kDetailBytes);
}

std::string WithDetail(std::string text, const std::string& detail) {
    const std::string clean = CleanDetail(detail);
    if (!clean.empty()) {
        text += ": " + clean;
    }
    return text;
}

}  // namespace

std::string Excerpt(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            continue;
        }
        if (out.size() == kExcerptBytes) {
            out += "...";
            break;
        }
        const auto byte = static_cast<unsigned char>(c);
        // Only printable ASCII: the excerpt may be cut anywhere without breaking a character.
        out += (byte >= 0x20 && byte < 0x7F) ? c : '?';
    }
    return out;
}

std::string HostAndPort(const std::string& host, std::uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string ConnectFailureText(const TransportStatus& status, const std::string& host,
                               std::uint16_t port) {
    switch (status.code) {
        case TransportCode::HostNotFound:
            return "サーバーが見つかりません: " + CleanDetail(host);
        case TransportCode::Refused:
            return "サーバーに接続できません: " + CleanDetail(HostAndPort(host, port));
        case TransportCode::Timeout:
            return "サーバーに接続できません（時間切れ）: " + CleanDetail(HostAndPort(host, port));
        case TransportCode::Tls:
            return LinkFailureText(status);
        default:
            return WithDetail("サーバーに接続できません: " + CleanDetail(HostAndPort(host, port)),
                              status.detail);
    }
}

std::string LinkFailureText(const TransportStatus& status) {
    switch (status.code) {
        case TransportCode::Timeout:
            return "サーバーから応答がありません（時間切れ）";
        case TransportCode::Closed:
            return "サーバーとの接続が切れました";
        case TransportCode::LineTooLong:
            return "サーバーの行が長すぎます";
        case TransportCode::Tls:
            return WithDetail("TLS の確立に失敗しました", status.detail);
        default:
            return WithDetail("通信エラーが発生しました", status.detail);
    }
}

LinkFault Send(Transport& transport, std::string_view bytes) {
    const TransportStatus status = transport.write(bytes);
    if (!status.ok()) {
        return LinkFailureText(status);
    }
    return std::nullopt;
}

std::string ProtocolErrorText(std::string_view received) {
    return "サーバーの応答が不正です: " + Excerpt(received);
}

std::string ServerErrorText(std::string_view text) {
    std::string clean = WithoutLineEnds(text);
    return clean.empty() ? "サーバーがエラーを返しました" : clean;
}

std::string GreetingRefusedText(std::string_view serverText) {
    return "サーバーが接続を断りました: " + ServerErrorText(serverText);
}

std::string TlsRefusedText(std::string_view command, std::string_view serverText) {
    return "サーバーが " + std::string(command) + " を拒否しました: " + ServerErrorText(serverText);
}

std::string TooManyBytesText(std::uint64_t limit) {
    return "サーバーの応答が大きすぎます（上限 " + std::to_string(limit) + " バイト）";
}

std::string BadServerNameText(std::string_view server) {
    return "サーバー名が不正です: " + CleanDetail(server);
}

std::string UnknownHandleText(int handle) {
    return "接続番号が不正です: " + std::to_string(handle);
}

std::string NotLoggedInText() {
    return "サーバーにログインしていません";
}

std::string LoginAlreadyDoneText() {
    return "この接続ではすでにログイン処理をしました";
}

std::string BadCredentialsText() {
    return "ユーザー ID かパスワードに使えない文字（改行など）があります";
}

std::string MechanismNotOfferedText(Auth auth) {
    switch (auth) {
        case Auth::XOAuth2:
            return "サーバーが XOAUTH2 でのログインに対応していません";
        case Auth::OAuthBearer:
            return "サーバーが OAUTHBEARER でのログインに対応していません";
        default:
            return "サーバーが OAuth2 でのログイン（OAUTHBEARER、XOAUTH2）に対応していません";
    }
}

}  // namespace breezel::net
