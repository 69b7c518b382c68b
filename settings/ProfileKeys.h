#pragma once

// Where the two private-profile files keep each setting. Both use one section, and "NAME" means
// something else in each.

#include <string_view>

namespace breezel::profile {

/// The one section of both files.
inline constexpr std::string_view kSection = "EXEINI";

// The preferences file, ★MailData/ini.ini.
/// Hang up the dial-up connections after a check: 0 or 1.
inline constexpr std::string_view kHangUp = "NUMBER";
/// The check interval in minutes, as typed.
inline constexpr std::string_view kInterval = "NUMBER2";
/// Start the mail program on new mail instead of the alert: 0 or 1.
inline constexpr std::string_view kStartMailProgram = "NUMBER3";
/// The notice board closes itself after a second: 0 or 1.
inline constexpr std::string_view kBoardClosesItself = "NUMBER4";
/// No chime: 0 or 1.
inline constexpr std::string_view kMute = "NUMBER5";
/// The mail program's path.
inline constexpr std::string_view kMailProgram = "NAME";

// The account file, ★MailData/iniIdPass.ini.
inline constexpr std::string_view kAccountId = "NAME";
inline constexpr std::string_view kPassword = "NAME2";
/// The account dialog's choice to save the account: 0 or 1.
inline constexpr std::string_view kSaveAccount = "NAME3";

}  // namespace breezel::profile
