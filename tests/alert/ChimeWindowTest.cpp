#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/Form1.h"
#include "forms/FrameRegion.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;

class ChimeWindowTest : public ProgramFixture {
protected:
    Form1& opened() {
        if (!program_) {
            start();
        }
        program_->mainForm().window.setPosition(6000, 4500);
        program_->mainForm().Command2.click();
        return program_->form1();
    }
    /// The frames shown by the next n ticks.
    std::vector<int> frames(int n) {
        std::vector<int> shown;
        for (int i = 0; i < n; ++i) {
            timers_.advance(1000);
            shown.push_back(program_->form1().frameIndex());
        }
        return shown;
    }
};

TEST_F(ChimeWindowTest, OpensBesideTheMainWindowAndADrawnCountOfSevenSwingsInPlace) {
    random_.values = {0.05f, 0.05f};  // (0.5 + 3) * 2 = 7, twice
    Form1& chime = opened();
    EXPECT_EQ(chime.window.left(), 8000);
    EXPECT_EQ(chime.window.top(), 6900);
    EXPECT_EQ(chime.window.clientWidth(), 1500);
    EXPECT_TRUE(chime.window.topmost());
    EXPECT_FALSE(chime.shaped()) << "unshaped until the first tick";
    EXPECT_EQ(random_.seeds, 1);

    EXPECT_THAT(frames(8), ElementsAre(0, 1, 0, 1, 0, 1, 0, 0));
    EXPECT_EQ(chime.window.left(), 8000) << "the first showing never moves by itself";
    EXPECT_EQ(chime.window.top(), 6900);
    EXPECT_EQ(chime.shape(), chime.frameRegions[0]);
}

TEST_F(ChimeWindowTest, ReopenedBeforeTheCountRunsOutCreepsUpAndLeftShowingFramesFourAndFive) {
    random_.values = {0.45f};  // (4.5 + 3) * 2 = 15
    opened();
    frames(3);
    program_->mainForm().Command3.click();
    ASSERT_FALSE(program_->hasForm1());
    Form1& again = opened();
    const Twips left = again.window.left();
    const Twips top = again.window.top();
    EXPECT_THAT(frames(3), ElementsAre(5, 4, 5));
    EXPECT_EQ(again.window.left(), left - 15);
    EXPECT_EQ(again.window.top(), top - 6);
}

TEST_F(ChimeWindowTest, TickPutsTheWindowBackOnTheScreen) {
    struct Row {
        const char* name;
        Twips screenWidth;
        Twips left, top;
        Twips expectLeft, expectTop;
    };
    const Twips w = 1280 * 15;
    const Twips h = 1024 * 15;
    for (const Row& row : {Row{"off the left and top", w, -300, -45, 0, 0},
                           Row{"past the right and bottom", w, w - 100, h - 10, w - 1500, h - 1500},
                           Row{"screen narrower than the window", 1200, 50, 50, 1200 - 1500, 50}}) {
        SCOPED_TRACE(row.name);
        desktop_.width = row.screenWidth;
        Form1& chime = opened();
        chime.window.setPosition(row.left, row.top);
        chime.stepX = 0;
        chime.stepY = 0;
        timers_.advance(1000);
        EXPECT_EQ(chime.window.left(), row.expectLeft);
        EXPECT_EQ(chime.window.top(), row.expectTop);
        program_->mainForm().Command3.click();
    }
}

TEST_F(ChimeWindowTest, LeftDragsRightEndsTheProgramMiddleDoesNothing) {
    Form1& chime = opened();
    int drags = 0;
    auto watch = chime.dragRequested.connectScoped([&] { ++drags; });
    log_.clear();
    chime.Form_MouseDown(4);
    chime.Form_MouseDown(1);
    chime.Form_MouseDown(3);
    EXPECT_EQ(drags, 2);
    EXPECT_TRUE(log_.empty());
    chime.Form_MouseDown(2);
    EXPECT_THAT(log_, ElementsAre("end process"));
    EXPECT_EQ(preferencesText().find("NUMBER3"), std::string::npos) << "nothing saved";
}

TEST(FrameRegionTest, BandsMergeEqualRowsAndKeyPixelsAreOutside) {
    EXPECT_TRUE(BuildFrameRegion(SilverPicture({})).empty());
    // Two runs over rows 10..19, one run over rows 20..24.
    const auto rects = BuildFrameRegion(SilverPicture({{5, 10, 8, 20}, {12, 10, 14, 25}}));
    EXPECT_THAT(rects, ElementsAre(RegionRect{5, 10, 8, 20}, RegionRect{12, 10, 14, 20},
                                   RegionRect{12, 20, 14, 25}));
    // Whatever the key colour: it is taken from pixel (0, 0).
    RgbImage inverted = SilverPicture({{0, 0, 100, 100}});
    inverted.pixels[0] = 0xC0C0C0;
    const auto all = BuildFrameRegion(inverted);
    EXPECT_EQ(all.front(), (RegionRect{1, 0, 100, 1}));
    EXPECT_EQ(all.back(), (RegionRect{0, 1, 100, 100}));
}

TEST(FrameRegionTest, AShapeOfMoreThan201RectanglesIsKeptWhole) {
    std::vector<std::array<int, 4>> dots;
    for (int y = 0; y < 100; y += 2) {
        for (int x = 1; x < 100; x += 20) {
            dots.push_back({x + (y % 4), y + 1, x + (y % 4) + 1, y + 2});
        }
    }
    const auto rects = BuildFrameRegion(SilverPicture(dots));
    EXPECT_EQ(rects.size(), dots.size());
    EXPECT_GT(rects.size(), 201u);
}

}  // namespace
}  // namespace breezel
