#pragma once

namespace breezel {

/// Screen units of the window design: 1/1440 inch.
using Twips = int;

/// Twips per pixel at 96 dots per inch.
inline constexpr Twips kTwipsPerPixel = 15;

/// A control's place and size in twips, relative to its container.
struct Rect {
    Twips left = 0;
    Twips top = 0;
    Twips width = 0;
    Twips height = 0;
    bool operator==(const Rect&) const = default;
};

}  // namespace breezel
