// IniFile over arbitrary file bytes: reads never crash and stay within 255 bytes; a write of a
// key reads back as written and leaves every other line of the file as it was.
//
// Input: the file's bytes, optionally followed by "\0\0" and the value to write (without it a
// fixed Japanese value is written), so that plain INI files serve as seeds. The key written is
// one of the program's, picked by the input's size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzTempDir.h"
#include "common/AsciiText.h"
#include "common/Utf8.h"
#include "settings/IniFile.h"
#include "settings/ProfileKeys.h"

namespace {

using breezel::fuzz::Fail;

struct Key {
    std::string_view section;
    std::string_view name;
};
// The keys the program reads and writes ("NAME" in both files), and two spellings that must
// match them too.
namespace profile = breezel::profile;
constexpr Key kKeys[] = {
    {profile::kSection, profile::kMailProgram},
    {profile::kSection, profile::kPassword},
    {profile::kSection, profile::kSaveAccount},
    {profile::kSection, profile::kHangUp},
    {profile::kSection, profile::kInterval},
    {profile::kSection, profile::kStartMailProgram},
    {profile::kSection, profile::kBoardClosesItself},
    {profile::kSection, profile::kMute},
    {" exeini ", "name"},
    {"OTHER", "KEY"},
};

// Line texts as the file defines them: split at LF, one CR before it (or at the end) dropped,
// a leading BOM ignored.
std::vector<std::string_view> LineTexts(std::string_view content) {
    if (content.substr(0, 3) == "\xEF\xBB\xBF") {
        content.remove_prefix(3);
    }
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const std::size_t lf = content.find('\n');
        std::string_view text = content.substr(0, lf);
        content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        lines.push_back(text);
    }
    return lines;
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.rfind(std::string_view("\0\0", 2));
    const std::string_view file = split == std::string_view::npos ? input : input.substr(0, split);
    const std::string value(split == std::string_view::npos ? std::string_view("新しい 値")
                                                            : input.substr(split + 2));
    const Key& key = kKeys[size % std::size(kKeys)];

    const std::filesystem::path path = breezel::fuzz::TempDir() / "ini.ini";
    breezel::fuzz::WriteBytes(path, data, file.size());
    breezel::IniFile ini(path);
    for (const Key& k : kKeys) {
        ini.readInt(k.section, k.name, -7);
        if (ini.readString(k.section, k.name, "").size() > 255) {
            Fail("a value read is longer than 255 bytes");
        }
    }

    if (!ini.writeString(key.section, key.name, value)) {
        Fail("writing a key to a writable file failed");
    }
    constexpr std::string_view kMissing = "\x01missing";
    const std::string readBack = ini.readString(key.section, key.name, kMissing);
    const std::string stored(breezel::ascii::Trim(OneLine(value)));
    const std::string expected =
        stored.empty() ? std::string(kMissing) : breezel::Utf8PrefixBytes(stored, 255);
    if (readBack != expected) {
        Fail("the key written does not read back as written");
    }

    // Every other line survives: the same lines with one replaced (the key's), one inserted
    // (a new key in its section) or two appended (a new section and key).
    const std::string after = breezel::fuzz::ReadBytes(path);
    const std::vector<std::string_view> old = LineTexts(file);
    const std::vector<std::string_view> now = LineTexts(after);
    std::size_t same = 0;
    while (same < old.size() && same < now.size() && old[same] == now[same]) {
        ++same;
    }
    const auto tailsEqual = [&](std::size_t oldFrom, std::size_t nowFrom) {
        return old.size() - oldFrom == now.size() - nowFrom &&
               std::equal(old.begin() + oldFrom, old.end(), now.begin() + nowFrom);
    };
    bool kept = false;
    if (now.size() == old.size()) {
        kept = same == old.size() || tailsEqual(same + 1, same + 1);
    } else if (now.size() == old.size() + 1) {
        kept = tailsEqual(same, same + 1);
    } else if (now.size() == old.size() + 2) {
        kept = same == old.size();
    }
    if (!kept) {
        Fail("a line other than the key's changed");
    }
    return 0;
}
