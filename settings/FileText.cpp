#include "settings/FileText.h"

#include <algorithm>

namespace breezel {

std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

std::string_view WithoutBom(std::string_view content) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (content.substr(0, kBom.size()) == kBom) {
        content.remove_prefix(kBom.size());
    }
    return content;
}

}  // namespace breezel
