#pragma once

#include <string>
#include <string_view>

namespace breezel {

/// The display title of a file as users see it: its name without the folder. Empty when the path
/// names no file (empty, or ending in a separator) or when the title would not fit the
/// 250-character buffer the label refresh gives it.
std::string FileTitle(std::string_view path);

}  // namespace breezel
