#pragma once

// What the settings writer that the kill test stops at random points writes: two versions of
// the preferences keys and of vbmail.ini. Both versions of a value have the same length, so
// every complete file has one size whatever mix of versions it holds.

#include <array>
#include <filesystem>
#include <string>

#include "settings/IniFile.h"
#include "settings/ServerSettings.h"

namespace breezel::faults {

inline constexpr std::array<const char*, 4> kKillKeys = {"NAME", "NUMBER", "NUMBER3", "NUMBER5"};

/// Version 0 or 1 of a key's value: long enough that a write takes a while, under 255 bytes.
inline std::string KillValue(int version, std::size_t key) {
    return std::string(200, version == 0 ? 'a' : 'b') + std::to_string(key);
}

inline SharedSettings KillServerSettings(int version) {
    SharedSettings s;
    const std::string tag = version == 0 ? "old" : "new";
    s.SmtpServer = "smtp-" + tag + ".example.org";
    s.Pop3Server = "pop3-" + tag + ".example.org:110";
    s.MailAddress = "user-" + tag + "@example.org";
    s.ApopFlag = static_cast<std::int16_t>(version);
    return s;
}

/// One round: every key and vbmail.ini get the version; false when any write failed.
inline bool WriteKillRound(const std::filesystem::path& folder, int version) {
    IniFile ini(folder / "ini.ini");
    bool ok = true;
    for (std::size_t k = 0; k < kKillKeys.size(); ++k) {
        ok = ini.writeString("EXEINI", kKillKeys[k], KillValue(version, k)) && ok;
    }
    return SaveServerSettings(KillServerSettings(version), folder / "vbmail.ini") && ok;
}

}  // namespace breezel::faults
