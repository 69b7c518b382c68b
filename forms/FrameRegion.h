#pragma once

#include <vector>

#include "platform/DesignPictures.h"

namespace breezel {

/// One rectangle of a window shape, in pixels; right and bottom are exclusive.
struct RegionRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const RegionRect&) const = default;
};

/// The shape made of every pixel whose colour differs from the key colour in pixel (0, 0), in
/// banded form: runs per row, with equal neighbouring rows merged into one band, ordered top to
/// bottom and left to right. An all-key image gives an empty shape.
std::vector<RegionRect> BuildFrameRegion(const RgbImage& image);

}  // namespace breezel
