#pragma once

// A private-profile settings file: "[SECTION]" lines followed by "key=value" lines.
//
// Every call goes to the file itself, with no cache, so two IniFile objects on
// one path (or a user editing the file meanwhile) always agree. Writes rewrite
// the whole file atomically and keep every line they do not change byte for
// byte, comments and odd lines included.
//
// Matching rules: section and key names compare ASCII-case-insensitively and
// blanks (space, tab) around names and values do not count; the first
// matching section and the first matching key in it win; lines without '='
// and lines before the first section are ignored for reading; a UTF-8 BOM at
// the start is skipped; LF and CRLF line ends may be mixed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "settings/AtomicFile.h"

namespace breezel {

class IniFile {
public:
    /// A settings file at path; writes give it the given access.
    explicit IniFile(std::filesystem::path path, FileAccess access = FileAccess::Default);

    /// The key's leading integer (0 if it has none); fallback if file, section or key is missing.
    std::int32_t readInt(std::string_view section, std::string_view key,
                         std::int32_t fallback) const;

    /// The key's value cut to 255 bytes; fallback if it is missing or empty.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;

    /// The key's whole value, however long (a sign-in token); fallback as with readString.
    std::string readLongString(std::string_view section, std::string_view key,
                               std::string_view fallback) const;

    /// Sets the key, adding key, section or file as needed (never a folder); false on failure.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);

private:
    std::filesystem::path path_;
    FileAccess access_;
};

}  // namespace breezel
