#include "imap/MailboxName.h"

#include <cstdint>
#include <vector>

namespace breezel::imap {

namespace {

constexpr std::string_view kDigits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

bool Printable(std::uint32_t c) {
    return c >= 0x20 && c <= 0x7E;
}

// The code points of UTF-8 text; nothing for stray bytes, overlong forms or surrogates.
std::optional<std::vector<std::uint32_t>> CodePoints(std::string_view text) {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i++]);
        std::size_t extra = 0;
        std::uint32_t c = lead;
        std::uint32_t least = 0;
        if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, c = lead & 0x07, least = 0x10000;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2, c = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            extra = 1, c = lead & 0x1F, least = 0x80;
        } else if (lead >= 0x80) {
            return std::nullopt;
        }
        if (text.size() - i < extra) {
            return std::nullopt;
        }
        for (; extra > 0; --extra) {
            const auto next = static_cast<unsigned char>(text[i++]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            c = c << 6 | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return std::nullopt;
        }
        out.push_back(c);
    }
    return out;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The base64 of a run of UTF-16 units, between '&' and '-'.
void AppendShifted(std::string& out, const std::vector<std::uint16_t>& units) {
    out += '&';
    std::uint32_t bits = 0;
    int count = 0;
    for (const std::uint16_t unit : units) {
        bits = bits << 16 | unit;
        count += 16;
        while (count >= 6) {
            count -= 6;
            out += kDigits[bits >> count & 0x3F];
        }
        bits &= (1u << count) - 1;
    }
    if (count > 0) {
        out += kDigits[bits << (6 - count) & 0x3F];
    }
    out += '-';
}

// The UTF-16 units of a shift's base64 body; nothing when bits are left over.
std::optional<std::vector<std::uint16_t>> Units(std::string_view body) {
    std::vector<std::uint16_t> units;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : body) {
        const auto digit = kDigits.find(c);
        if (digit == std::string_view::npos) {
            return std::nullopt;
        }
        bits = bits << 6 | static_cast<std::uint32_t>(digit);
        count += 6;
        if (count >= 16) {
            count -= 16;
            units.push_back(static_cast<std::uint16_t>(bits >> count));
            bits &= (1u << count) - 1;
        }
    }
    // What is left must be the zero padding of the last digit.
    if (count >= 6 || bits != 0) {
        return std::nullopt;
    }
    return units;
}

}  // namespace

std::optional<std::string> EncodeMailboxName(std::string_view utf8) {
    const auto points = CodePoints(utf8);
    if (!points) {
        return std::nullopt;
    }
    std::string out;
    std::vector<std::uint16_t> units;
    for (const std::uint32_t c : *points) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            return std::nullopt;
        }
        if (!Printable(c)) {
            if (c >= 0x10000) {
                units.push_back(static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
                units.push_back(static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                units.push_back(static_cast<std::uint16_t>(c));
            }
            continue;
        }
        if (!units.empty()) {
            AppendShifted(out, units);
            units.clear();
        }
        out += c == '&' ? "&-" : std::string(1, static_cast<char>(c));
    }
    if (!units.empty()) {
        AppendShifted(out, units);
    }
    return out;
}

std::optional<std::string> DecodeMailboxName(std::string_view wire) {
    std::string out;
    for (std::size_t i = 0; i < wire.size(); ++i) {
        const auto c = static_cast<unsigned char>(wire[i]);
        if (!Printable(c)) {
            return std::nullopt;
        }
        if (c != '&') {
            out += static_cast<char>(c);
            continue;
        }
        const auto end = wire.find('-', i + 1);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view body = wire.substr(i + 1, end - i - 1);
        i = end;
        if (body.empty()) {
            out += '&';
            continue;
        }
        const auto units = Units(body);
        if (!units || units->empty()) {
            return std::nullopt;
        }
        for (std::size_t u = 0; u < units->size(); ++u) {
            std::uint32_t point = (*units)[u];
            if (point >= 0xD800 && point < 0xDC00 && u + 1 < units->size() &&
                (*units)[u + 1] >= 0xDC00 && (*units)[u + 1] < 0xE000) {
                point = 0x10000 + ((point - 0xD800) << 10) + ((*units)[++u] - 0xDC00);
            } else if (point >= 0xD800 && point < 0xE000) {
                return std::nullopt;
            }
            if (point < 0x80) {
                return std::nullopt;  // ASCII stands for itself, or cannot be in a name
            }
            AppendUtf8(out, point);
        }
    }
    return out;
}

}  // namespace breezel::imap
