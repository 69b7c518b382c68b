#pragma once

// Addresses of the program's own files: "file://" and the path as it is, not percent-encoded,
// so that '#' or '%' in a folder name stay part of the path.

#include <optional>
#include <string>
#include <string_view>

namespace breezel {

inline constexpr std::string_view kFileUrlScheme = "file://";

/// The address of the local file at path.
inline std::string FileUrl(std::string_view path) {
    return std::string(kFileUrlScheme).append(path);
}

/// The path of an address made by FileUrl; nullopt for any other address.
inline std::optional<std::string> FileUrlPath(std::string_view url) {
    if (!url.starts_with(kFileUrlScheme)) {
        return std::nullopt;
    }
    return std::string(url.substr(kFileUrlScheme.size()));
}

}  // namespace breezel
