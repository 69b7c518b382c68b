#include "pop3/ErrorText.h"

namespace breezel::pop3 {

std::string BadMessageNumberText(int number) {
    return "メッセージ番号が範囲外です: " + std::to_string(number);
}

std::string ApopWithoutTimestampText() {
    return "APOP に必要なタイムスタンプがサーバーの挨拶にありません";
}

std::string TooManyLinesText() {
    return "サーバーの応答の行数が多すぎます";
}

}  // namespace breezel::pop3
