#pragma once

#include <cstdint>
#include <vector>

namespace breezel {

/// A picture as rows of 0xRRGGBB pixels.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t pixel(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
};

/// The pictures that are part of the windows' design.
class DesignPictures {
public:
    virtual ~DesignPictures() = default;
    /// Frame k (0..7) of the wind-chime window: picture A for even k, picture B for odd k.
    virtual RgbImage chimeFrame(int k) = 0;
};

}  // namespace breezel
