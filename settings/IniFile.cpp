#include "settings/IniFile.h"

#include <optional>
#include <utility>
#include <vector>

#include "common/AsciiText.h"
#include "common/Utf8.h"
#include "settings/FileText.h"
#include "settings/NumberText.h"

namespace breezel {

namespace {

// Values used to be read into a 256-byte buffer; callers rely on that limit.
constexpr std::size_t kMaxValueBytes = 255;

// A line of the file: `text` without its line end, `end` the line end bytes
// ("\r\n", "\n", "\r" before end of file, or nothing).
struct Line {
    std::string_view text;
    std::string_view end;
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    while (!content.empty()) {
        const std::size_t lf = content.find('\n');
        std::string_view whole = lf == std::string_view::npos ? content : content.substr(0, lf + 1);
        content.remove_prefix(whole.size());
        std::size_t endSize = 0;
        if (!whole.empty() && whole.back() == '\n') {
            endSize = 1;
        }
        if (whole.size() > endSize && whole[whole.size() - endSize - 1] == '\r') {
            ++endSize;
        }
        lines.push_back(
            {whole.substr(0, whole.size() - endSize), whole.substr(whole.size() - endSize)});
    }
    return lines;
}

// The name of a "[name]" line, or nullopt when the line is no section header.
std::optional<std::string_view> SectionName(std::string_view text) {
    text = ascii::Trim(text);
    if (text.empty() || text.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return ascii::Trim(text.substr(1, close - 1));
}

// Where a key sits in the parsed file; indices are into the line list.
struct Location {
    std::optional<std::size_t> section;  // header line of the first matching section
    std::size_t lastFilled = 0;          // last non-blank line of that section
    std::optional<std::size_t> key;      // first matching key line in it
};

Location Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    section = ascii::Trim(section);
    key = ascii::Trim(key);
    Location found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::optional<std::string_view> name = SectionName(lines[i].text);
        if (name) {
            if (found.section) {
                break;  // the first matching section has ended
            }
            if (ascii::EqualNoCase(*name, section)) {
                found.section = i;
                found.lastFilled = i;
            }
            continue;
        }
        if (!found.section) {
            continue;
        }
        if (!ascii::Trim(lines[i].text).empty()) {
            found.lastFilled = i;
        }
        const std::size_t equals = lines[i].text.find('=');
        if (!found.key && equals != std::string_view::npos &&
            ascii::EqualNoCase(ascii::Trim(lines[i].text.substr(0, equals)), key)) {
            found.key = i;
        }
    }
    return found;
}

// The value of the key, or nullopt when the file, section or key is missing.
std::optional<std::string> ReadValue(const std::filesystem::path& path, std::string_view section,
                                     std::string_view key) {
    const std::optional<std::string> content = ReadWholeFile(path);
    if (!content) {
        return std::nullopt;
    }
    const std::vector<Line> lines = SplitLines(WithoutBom(*content));
    const Location found = Find(lines, section, key);
    if (!found.key) {
        return std::nullopt;
    }
    const std::string_view text = lines[*found.key].text;
    return std::string(ascii::Trim(text.substr(text.find('=') + 1)));
}

}  // namespace

IniFile::IniFile(std::filesystem::path path, FileAccess access)
    : path_(std::move(path)), access_(access) {}

std::int32_t IniFile::readInt(std::string_view section, std::string_view key,
                              std::int32_t fallback) const {
    const std::optional<std::string> value = ReadValue(path_, section, key);
    return value ? LeadingInteger(*value) : fallback;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    const std::optional<std::string> value = ReadValue(path_, section, key);
    if (!value || value->empty()) {
        return std::string(fallback);
    }
    return Utf8PrefixBytes(*value, kMaxValueBytes);
}

std::string IniFile::readLongString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    std::optional<std::string> value = ReadValue(path_, section, key);
    if (!value || value->empty()) {
        return std::string(fallback);
    }
    return std::move(*value);
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    std::optional<std::string> content = ReadWholeFile(path_);
    if (!content) {
        // Only a missing file may be started afresh; anything else we cannot
        // read must not be overwritten with a file holding just our key.
        std::error_code ec;
        if (std::filesystem::status(path_, ec).type() != std::filesystem::file_type::not_found) {
            return false;
        }
        content.emplace();
    }

    const std::string_view body = WithoutBom(*content);
    const std::string_view bom(content->data(), content->size() - body.size());
    const std::vector<Line> lines = SplitLines(body);
    const std::string_view newline =
        (!lines.empty() && lines.front().end == "\r\n") ? "\r\n" : "\n";
    const std::string_view name = ascii::Trim(section);
    const std::string_view keyName = ascii::Trim(key);
    const Location found = Find(lines, name, keyName);

    std::string result(bom);
    result.reserve(content->size() + key.size() + value.size() + section.size() + 8);
    // Appends line i; a last line without line end gets one when more follows.
    auto copyLine = [&](std::size_t i, bool more) {
        result += lines[i].text;
        result += lines[i].end;
        if (more && (lines[i].end.empty() || lines[i].end == "\r")) {
            result += lines[i].end.empty() ? newline : "\n";
        }
    };
    const std::string keyLine = OneLine(keyName) + "=" + OneLine(value);

    if (found.key) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i != *found.key) {
                copyLine(i, false);
                continue;
            }
            // Keep the key's own spelling and the blanks after '='.
            const std::string_view text = lines[i].text;
            std::size_t valueStart = text.find('=') + 1;
            while (valueStart < text.size() && ascii::IsBlank(text[valueStart])) {
                ++valueStart;
            }
            result += text.substr(0, valueStart);
            result += OneLine(value);
            result += lines[i].end;
        }
    } else if (found.section) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            copyLine(i, i == found.lastFilled);
            if (i == found.lastFilled) {
                result += keyLine;
                result += newline;
            }
        }
    } else {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            copyLine(i, i + 1 == lines.size());
        }
        result += '[';
        result += OneLine(name);
        result += ']';
        result += newline;
        result += keyLine;
        result += newline;
    }
    return WriteFileAtomically(path_, result, access_);
}

}  // namespace breezel
