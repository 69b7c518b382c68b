// vbmail.ini over arbitrary bytes: loading never crashes and keeps values to 100 characters;
// what was loaded saves and loads back the same (CR and LF become spaces on saving).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzTempDir.h"
#include "settings/ServerSettings.h"

namespace {

using breezel::fuzz::Fail;

// Bytes of the well-formed UTF-8 character at pos (decoded and range-checked), or 0.
std::size_t WellFormed(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (lead < 0x80 || lead >= 0xF8 || length > text.size() - pos) {
        return lead < 0x80 ? 1 : 0;
    }
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < kSmallest[length] || surrogate || code > 0x10FFFF ? 0 : length;
}

// Characters as the loader documents them: a byte that starts no well-formed character is one.
std::size_t CodePoints(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const std::size_t length = WellFormed(text, i);
        i += length == 0 ? 1 : length;
    }
    return count;
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = breezel::fuzz::TempDir() / "vbmail.ini";
    breezel::fuzz::WriteBytes(path, data, size);
    breezel::SharedSettings loaded;
    breezel::LoadServerSettings(loaded, path);
    for (const std::string* value : {&loaded.SmtpServer, &loaded.Pop3Server, &loaded.MailAddress}) {
        if (value->size() > 400 || CodePoints(*value) > 100) {
            Fail("a value loaded is longer than 100 characters");
        }
    }

    if (!breezel::SaveServerSettings(loaded, path)) {
        Fail("saving failed");
    }
    breezel::SharedSettings again;
    again.ApopFlag = 12345;  // must be overwritten: the saved file always holds APOP
    breezel::LoadServerSettings(again, path);
    if (again.SmtpServer != OneLine(loaded.SmtpServer) ||
        again.Pop3Server != OneLine(loaded.Pop3Server) ||
        again.MailAddress != OneLine(loaded.MailAddress) || again.ApopFlag != loaded.ApopFlag) {
        Fail("saved settings do not load back the same");
    }
    return 0;
}
