#include "imap/ErrorText.h"

namespace breezel::imap {

std::string LoginDisabledText() {
    return "サーバーが暗号化されていない接続でのログインを許可していません。サーバー名を imaps:// "
           "で始めるか、STARTTLS に対応したサーバーを使ってください";
}

std::string NoMessageCallsText() {
    return "IMAP ではメッセージを一通ずつ読みません（数えるのは INBOX の未読メールだけです）";
}

std::string ByeText(std::string_view serverText) {
    return "サーバーが接続を終了しました: " + net::ServerErrorText(serverText);
}

}  // namespace breezel::imap
