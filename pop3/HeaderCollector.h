#pragma once

// Picks the four header fields the caller wants (Subject, From, Date, Message-ID) out of the
// lines of a message as they stream past. Only the header section counts; the body is ignored.
// Folded fields are unfolded; each value is kept only up to the byte limit, so a hostile
// message cannot make us hold more than a few kilobytes per field.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/MailLibrary.h"

namespace breezel::pop3 {

/// Collects header values from message lines, bounded per field.
class HeaderCollector {
public:
    explicit HeaderCollector(std::size_t maxValueBytes);

    /// Takes the next line of the message, dot-unstuffed and without its line end.
    void addLine(std::string_view line);
    /// The values found so far: h1 Subject, h2 From, h3 Date, h4 Message-ID.
    MailTexts texts() const;

private:
    static constexpr int kNone = -1;

    void append(std::string_view bytes);

    std::size_t maxValueBytes_;
    std::array<std::string, 4> values_;
    std::array<bool, 4> seen_{};
    int current_ = kNone;
    bool inHeader_ = true;
};

}  // namespace breezel::pop3
