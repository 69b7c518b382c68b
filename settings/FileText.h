#pragma once

// Text on its way into and out of the settings files, which hold one "key=value" per line.

#include <string>
#include <string_view>

namespace breezel {

/// The text with every CR and LF made a space: a line break inside a value would start a new
/// line in the file, letting the value smuggle in keys or sections of its own.
std::string OneLine(std::string_view text);

/// The file's content after a leading UTF-8 BOM, which editors on the desktop like to add and
/// which must not hide the first line.
std::string_view WithoutBom(std::string_view content);

}  // namespace breezel
