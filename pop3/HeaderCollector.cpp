#include "pop3/HeaderCollector.h"

#include "common/AsciiText.h"
#include "common/Utf8.h"

namespace breezel::pop3 {

namespace {

constexpr std::array<std::string_view, 4> kNames = {"subject", "from", "date", "message-id"};

}  // namespace

HeaderCollector::HeaderCollector(std::size_t maxValueBytes) : maxValueBytes_(maxValueBytes) {}

void HeaderCollector::addLine(std::string_view line) {
    if (!inHeader_) {
        return;
    }
    if (line.empty()) {
        inHeader_ = false;
        return;
    }
    if (ascii::IsBlank(line.front())) {
        // A folded continuation: unfolding removes only the line break, the blank stays.
        if (current_ != kNone) {
            append(values_[current_].empty() ? ascii::Trim(line) : line);
        }
        return;
    }
    current_ = kNone;
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    const std::string_view name = ascii::Trim(line.substr(0, colon));
    for (int i = 0; i < static_cast<int>(kNames.size()); ++i) {
        // The first occurrence wins; a repeated field must not replace what the user sees.
        if (!seen_[i] && ascii::EqualNoCase(name, kNames[i])) {
            seen_[i] = true;
            current_ = i;
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && ascii::IsBlank(value.front())) {
                value.remove_prefix(1);
            }
            append(value);
            return;
        }
    }
}

MailTexts HeaderCollector::texts() const {
    std::array<std::string, 4> out;
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = std::string(ascii::Trim(Utf8PrefixBytes(values_[i], maxValueBytes_)));
    }
    return MailTexts{out[0], out[1], out[2], out[3]};
}

void HeaderCollector::append(std::string_view bytes) {
    std::string& value = values_[current_];
    // The cut needs the whole of a character that crosses the limit, up to three bytes beyond
    // it: cut short here, its first byte would pass for a stray byte that fits.
    const std::size_t kept = maxValueBytes_ + 3;
    const std::size_t room = kept > value.size() ? kept - value.size() : 0;
    value.append(bytes.substr(0, room));
}

}  // namespace breezel::pop3
