#include "imap/ErrorText.h"

namespace breezel::imap {

std::string LoginDisabledText() {
    return "サーバーが暗号化されていない接続でのログインを許可していません。サーバー名を imaps:// "
           "で始めるか、STARTTLS に対応したサーバーを使ってください";
}

std::string NoEncryptionText() {
    return "サーバーが暗号化（STARTTLS）に対応していないため、パスワードを送りませんでした。"
           "サーバー名を imaps:// で始めてください";
}

std::string BadFolderNameText() {
    return "フォルダー名に使えない文字（改行など）があります";
}

std::string FolderMissingText(std::string_view name) {
    return "フォルダー「" + std::string(name) + "」がサーバーにありません";
}

std::string FolderRefusedText(std::string_view name, std::string_view serverText) {
    return "フォルダー「" + std::string(name) +
           "」の未読メールを数えられません: " + net::ServerErrorText(serverText);
}

std::string NoMessageCallsText() {
    return "IMAP ではメッセージを一通ずつ読みません（数えるのは INBOX の未読メールだけです）";
}

std::string ByeText(std::string_view serverText) {
    return "サーバーが接続を終了しました: " + net::ServerErrorText(serverText);
}

}  // namespace breezel::imap
