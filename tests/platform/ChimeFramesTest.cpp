// The wind-chime window's shapes from the real frame pictures compiled into the program.
#include <gtest/gtest.h>

#include <set>

#include "forms/FrameRegion.h"
#include "qt/QtServices.h"

namespace breezel {
namespace {

std::set<std::pair<int, int>> Pixels(const std::vector<RegionRect>& rects) {
    std::set<std::pair<int, int>> pixels;
    for (const RegionRect& r : rects) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                EXPECT_TRUE(pixels.insert({x, y}).second)
                    << "rectangles overlap at " << x << "," << y;
            }
        }
    }
    return pixels;
}

TEST(ChimeFramesTest, ShapesAreExactlyTheChimePixelsOfEachFrame) {
    QtDesignPictures pictures;
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        const RgbImage frame = pictures.chimeFrame(k);
        ASSERT_EQ(frame.width, 100);
        ASSERT_EQ(frame.height, 100);
        EXPECT_EQ(frame.pixel(0, 0), 0xC0C0C0u) << "silver key colour in the corner";

        std::set<std::pair<int, int>> chime;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                if (frame.pixel(x, y) != 0xC0C0C0u) {
                    chime.insert({x, y});
                }
            }
        }
        const auto rects = BuildFrameRegion(frame);
        EXPECT_EQ(Pixels(rects), chime);
        EXPECT_GT(chime.size(), 500u) << "a chime, not a speck";
        // A slim chime: well within the window, and few enough bands to reshape it cheaply.
        EXPECT_LT(rects.size(), 201u);
    }
    // The two pictures differ, so the swing shows.
    EXPECT_NE(BuildFrameRegion(pictures.chimeFrame(0)), BuildFrameRegion(pictures.chimeFrame(1)));
}

}  // namespace
}  // namespace breezel
