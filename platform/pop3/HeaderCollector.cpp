#include "platform/pop3/HeaderCollector.h"

#include "common/AsciiText.h"

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
        out[i] = std::string(ascii::Trim(cutUtf8(values_[i], maxValueBytes_)));
    }
    return MailTexts{out[0], out[1], out[2], out[3]};
}

std::string HeaderCollector::cutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    std::size_t cut = maxBytes;
    // Back up over continuation bytes to the start of the character that crosses the limit;
    // a UTF-8 character has at most three of them.
    for (int step = 0; step < 3 && cut > 0; ++step) {
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) {
            break;
        }
        --cut;
    }
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        cut = maxBytes;  // not UTF-8 at all here: any cut is as good as another
    }
    return std::string(text.substr(0, cut));
}

void HeaderCollector::append(std::string_view bytes) {
    std::string& value = values_[current_];
    // One byte beyond the limit tells cutUtf8 whether the last kept character is whole.
    const std::size_t room =
        maxValueBytes_ + 1 > value.size() ? maxValueBytes_ + 1 - value.size() : 0;
    value.append(bytes.substr(0, room));
}

}  // namespace breezel::pop3
