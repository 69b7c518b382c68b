#include "qt/SignInTexts.h"

#include <cstdio>

#include "common/Utf8.h"

namespace breezel {

namespace {

constexpr std::size_t kOutsideBytes = 200;

// Outside words keep their language (a path may be Japanese); only control characters go.
std::string Clean(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        }
    }
    return Utf8PrefixBytes(out, kOutsideBytes);
}

std::string WithDetail(std::string text, std::string_view detail) {
    const std::string clean = Clean(detail);
    if (!clean.empty()) {
        text += ": ";
        text += clean;
    }
    return text;
}

}  // namespace

std::string SignInDonePageText() {
    return "サインインが終わりました。このウィンドウは閉じてかまいません。";
}

std::string SignInNeededText() {
    return "サインインが必要です: 「メールチェック（手動）」でブラウザーからサインインしてください";
}

std::string SignInRevokedText() {
    return "サインインが無効になりました: "
           "「メールチェック（手動）」でもう一度サインインしてください";
}

std::string SignInTimedOutText() {
    return "ブラウザーでのサインインが時間内に終わりませんでした";
}

std::string SignInDeniedText(std::string_view error, std::string_view description) {
    std::string text = WithDetail("サインインが拒否されました", error);
    const std::string clean = Clean(description);
    if (!clean.empty()) {
        text += "（";
        text += clean;
        text += "）";
    }
    return text;
}

std::string BrowserFailedText() {
    return "サインインのページをブラウザーで開けません: "
           "上のアドレスをコピーしてブラウザーで開いてください";
}

std::string SignInCancelledText() {
    return "サインインをキャンセルしました";
}

std::string SignInWindowTitle() {
    return "サインイン";
}

std::string SignInWaitingText(std::string_view account, std::string_view host) {
    std::string text = "ブラウザーで ";
    text += Clean(account);
    text += "（";
    text += Clean(host);
    text += "）のサインインのページを開きました。ブラウザーでサインインしてください。";
    return text;
}

std::string SignInAddressText() {
    return "ページが開かないときは、このアドレスをブラウザーで開いてください:";
}

std::string SignInCancelCaption() {
    return "キャンセル";
}

std::string TokenFileWidenedText(const std::filesystem::path& file, unsigned mode, bool tightened) {
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", mode & 07777u);
    std::string text = tightened ? "トークンのファイルがほかのユーザーにも読める設定でした（"
                                 : "トークンのファイルがほかのユーザーにも読める設定です（";
    text += octal;
    text += tightened ? "）: 本人だけが読めるようにしました: "
                      : "）: 本人だけが読めるようにできません: ";
    text += Clean(file.string());
    return text;
}

std::string ListenFailedText(std::string_view detail) {
    return WithDetail("サインインの応答を 127.0.0.1 で待てません", detail);
}

std::string TokenRequestFailedText(std::string_view detail) {
    return WithDetail("トークンを取得できません", detail);
}

std::string RenewFailedText(std::string_view detail) {
    return WithDetail("トークンを更新できません", detail);
}

std::string NoProviderText(std::string_view host, const std::filesystem::path& file) {
    std::string text = "OAuth2 のサインイン先が分かりません: ";
    text += Clean(host);
    text += "（";
    text += Clean(file.string());
    text += " の [";
    text += Clean(host);
    text += "] に issuer= と client_id= を書いてください）";
    return text;
}

std::string NoClientIdText(const std::filesystem::path& file, std::string_view section,
                           bool withSecret) {
    std::string text = "OAuth2 のクライアント ID がありません: ";
    text += Clean(file.string());
    text += " の [";
    text += Clean(section);
    text += withSecret ? "] に client_id= と client_secret= を" : "] に client_id= を";
    text += "書いてください（クライアントの登録のしかたは README にあります）";
    return text;
}

std::string DiscoveryFailedText(std::string_view url, std::string_view detail) {
    std::string text = "サインイン先の設定を取得できません: ";
    text += Clean(url);
    return WithDetail(std::move(text), detail);
}

std::string InsecureAddressText(std::string_view url) {
    std::string text = "サインイン先のアドレスが https ではありません: ";
    text += Clean(url);
    return text;
}

}  // namespace breezel
