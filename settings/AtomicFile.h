#pragma once

// Whole-file reads and crash-safe whole-file writes for the settings files.
//
// A write goes to a temporary file next to the target, is flushed to disk and
// then renamed over the target, so a crash or a full disk leaves either the
// old file or the new one, never a mix. The temporary file lives in the same
// folder because rename is only atomic within one file system.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace breezel {

/// Who may read a file written by WriteFileAtomically.
enum class FileAccess {
    Default,    ///< an existing file keeps its mode; a new one gets 0666 & ~umask
    OwnerOnly,  ///< mode 0600 from the first byte on, for files holding secrets
};

/// Replaces the file (or a symlink's target) atomically; false and nothing changed on failure.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                         FileAccess access = FileAccess::Default);

/// The bytes of a regular file; nullopt when it is missing, unreadable or not a regular file.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

}  // namespace breezel
