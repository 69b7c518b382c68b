#include "pop3/ErrorText.h"

namespace breezel::pop3 {

using net::ServerErrorText;

std::string GreetingRefusedText(std::string_view serverText) {
    return "サーバーが接続を断りました: " + ServerErrorText(serverText);
}

std::string BadMessageNumberText(int number) {
    return "メッセージ番号が範囲外です: " + std::to_string(number);
}

std::string ApopWithoutTimestampText() {
    return "APOP に必要なタイムスタンプがサーバーの挨拶にありません";
}

std::string StlsRefusedText(std::string_view serverText) {
    return "サーバーが STLS を拒否しました: " + ServerErrorText(serverText);
}

std::string TooManyLinesText() {
    return "サーバーの応答の行数が多すぎます";
}

std::string TooManyBytesText(std::uint64_t limit) {
    return "サーバーの応答が大きすぎます（上限 " + std::to_string(limit) + " バイト）";
}

}  // namespace breezel::pop3
