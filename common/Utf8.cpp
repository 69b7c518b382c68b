#include "common/Utf8.h"

namespace breezel {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed character starting at pos, or 1 for an invalid byte.
// Overlong forms, surrogates and values above U+10FFFF are invalid.
std::size_t CharLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            secondMin = 0xA0;
        } else if (lead == 0xED) {
            secondMax = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            secondMin = 0x90;
        } else if (lead == 0xF4) {
            secondMax = 0x8F;
        }
    } else {
        return 1;
    }
    if (text.size() - pos < length) {
        return 1;
    }
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    if (second < secondMin || second > secondMax) {
        return 1;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) {
            return 1;
        }
    }
    return length;
}

}  // namespace

std::string Utf8PrefixBytes(std::string_view text, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + CharLength(text, end);
        if (next > maxBytes) {
            break;
        }
        end = next;
    }
    return std::string(text.substr(0, end));
}

std::string Utf8PrefixChars(std::string_view text, std::size_t maxChars) {
    std::size_t end = 0;
    for (std::size_t count = 0; count < maxChars && end < text.size(); ++count) {
        end += CharLength(text, end);
    }
    return std::string(text.substr(0, end));
}

}  // namespace breezel
