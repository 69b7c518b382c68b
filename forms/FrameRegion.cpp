#include "forms/FrameRegion.h"

namespace breezel {

namespace {
// The runs of non-key pixels of one row, as [left, right) pairs.
std::vector<std::pair<int, int>> RowRuns(const RgbImage& image, int y, std::uint32_t key) {
    std::vector<std::pair<int, int>> runs;
    int x = 0;
    while (x < image.width) {
        while (x < image.width && image.pixel(x, y) == key) {
            ++x;
        }
        const int start = x;
        while (x < image.width && image.pixel(x, y) != key) {
            ++x;
        }
        if (x > start) {
            runs.emplace_back(start, x);
        }
    }
    return runs;
}
}  // namespace

std::vector<RegionRect> BuildFrameRegion(const RgbImage& image) {
    std::vector<RegionRect> rects;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<std::size_t>(image.width) * image.height) {
        return rects;
    }
    const std::uint32_t key = image.pixel(0, 0);
    std::vector<std::pair<int, int>> band;
    int bandTop = 0;
    const auto closeBand = [&](int bottom) {
        for (const auto& [left, right] : band) {
            rects.push_back({left, bandTop, right, bottom});
        }
    };
    for (int y = 0; y < image.height; ++y) {
        auto runs = RowRuns(image, y, key);
        if (runs != band) {
            closeBand(y);
            band = std::move(runs);
            bandTop = y;
        }
    }
    closeBand(image.height);
    return rects;
}

}  // namespace breezel
