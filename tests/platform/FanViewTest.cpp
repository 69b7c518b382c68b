// The fan's animation: frames from the real picture, stepped by the program's timers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QTest>
#include <vector>

#include "qt/FanView.h"
#include "support/ManualTimerDriver.h"
#include "support/TempDir.h"

namespace breezel {
namespace {

const QString kFanPicture =
    QStringLiteral(BREEZEL_SOURCE_DIR "/assets/program/画像データ/FanMove.gif");

// What the widget shows, as an image.
QImage Shown(FanView& view) {
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    view.render(&image);
    return image;
}

// A fan in the main window's place for it, turned by the manual clock.
class FanViewTest : public ::testing::Test {
protected:
    FanViewTest() { fan->setGeometry(0, 0, 241, 217); }
    ManualTimerDriver timers;
    QWidget parent;
    FanView* fan = new FanView(&parent, timers);
};

TEST_F(FanViewTest, TurnsThroughEveryFrameOnTheTimersLoopsForEverAndAPlayAgainStartsAnew) {
    fan->play(kFanPicture);
    ASSERT_EQ(fan->frameCount(), 12);
    EXPECT_EQ(fan->currentFrame(), 0);

    const QImage first = Shown(*fan);
    timers.advance(79);
    EXPECT_EQ(fan->currentFrame(), 0);
    timers.advance(1);
    EXPECT_EQ(fan->currentFrame(), 1);
    EXPECT_NE(Shown(*fan), first) << "the blades moved";

    timers.advance(80 * 11);
    EXPECT_EQ(fan->currentFrame(), 0) << "after the last frame the first comes again";
    EXPECT_EQ(Shown(*fan), first);
    timers.advance(80 * 12 * 10 + 80 * 5);
    ASSERT_EQ(fan->currentFrame(), 5);
    fan->play(kFanPicture);
    EXPECT_EQ(fan->currentFrame(), 0);
    timers.advance(80);
    EXPECT_EQ(fan->currentFrame(), 1);

    // Unseen, it lets its pictures go but keeps turning; seen again, it shows the frame it has
    // turned to, drawn as before.
    std::vector<QImage> frames;
    for (int n = 0; n < 12; ++n) {
        frames.push_back(Shown(*fan));
        timers.advance(80);
    }
    fan->setDeferred(true);
    EXPECT_NE(Shown(*fan), frames[1]) << "no picture held";
    timers.advance(80 * 12 * 3 + 80 * 50);
    fan->setDeferred(false);
    EXPECT_EQ(Shown(*fan), frames[static_cast<std::size_t>((fan->currentFrame() + 11) % 12)]);
}

// Run once as it is and once with QT_SCALE_FACTOR=2: at 200 % the fan on screen is the
// picture drawn at twice the size, covering the same logical area, and around it the window's
// background shows.
TEST_F(FanViewTest, ShowsThePictureDrawnForThePixelRatio) {
    const int ratio = qApp->devicePixelRatio() >= 2 ? 2 : 1;
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));
    parent.setPalette(palette);
    fan->play(kFanPicture);
    QImage shown = fan->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.devicePixelRatio(), ratio);
    QImage drawn = QImage(ratio == 2 ? QStringLiteral(BREEZEL_SOURCE_DIR
                                                      "/assets/program/画像データ/FanMove@2x.gif")
                                     : kFanPicture)
                       .convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), QSize(130 * ratio, 120 * ratio));
    shown.setDevicePixelRatio(1);
    drawn.setDevicePixelRatio(1);
    EXPECT_EQ(shown.copy(QRect(QPoint(), drawn.size())), drawn)
        << "the first frame as drawn for this ratio, pixel for pixel";
    EXPECT_EQ(Shown(*fan).pixelColor(200, 200), QColor(0x40, 0x40, 0x40));
}

// Records the region of every paint of the watched widget.
class PaintedRegion : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return QObject::eventFilter(watched, event);
    }
    QRegion region;
};

TEST_F(FanViewTest, AStepRepaintsEveryPixelThatChangesAndLessThanTheWholePicture) {
    parent.resize(241, 217);
    fan->play(kFanPicture);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    PaintedRegion painted;
    fan->installEventFilter(&painted);
    for (int step = 0; step < 12; ++step) {
        SCOPED_TRACE(step);
        const QImage before = Shown(*fan);
        painted.region = QRegion();
        timers.advance(80);
        QCoreApplication::sendPostedEvents();
        QTest::qWait(1);
        const QRegion repainted = painted.region;  // before rendering paints it all
        const QImage after = Shown(*fan);
        for (int y = 0; y < after.height(); ++y) {
            for (int x = 0; x < after.width(); ++x) {
                if (before.pixel(x, y) != after.pixel(x, y)) {
                    ASSERT_TRUE(repainted.contains(QPoint(x, y))) << x << "," << y;
                }
            }
        }
        EXPECT_LT(repainted.boundingRect().width() * repainted.boundingRect().height(), 130 * 120);
    }
}

TEST_F(FanViewTest, ABadFileShowsNothing) {
    fan->play(kFanPicture);
    timers.advance(80);  // the fan is turning
    TempDir dir;
    TempDir::Write(dir / "FanMove.gif", "GIF89a this is not a picture");
    fan->play(QString::fromStdString((dir / "FanMove.gif").string()));
    EXPECT_EQ(fan->frameCount(), 0);
    fan->play(QStringLiteral("/no/such/FanMove.gif"));
    EXPECT_EQ(fan->frameCount(), 0);
    timers.advance(1000);  // nothing left to step, nothing breaks
    EXPECT_EQ(fan->currentFrame(), 0);
}

TEST_F(FanViewTest, AStillPictureShowsAsItIs) {
    TempDir dir;
    const QString still = QString::fromStdString((dir.path() / "still.png").string());
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(still));
    fan->play(still);
    EXPECT_EQ(fan->frameCount(), 1);
    EXPECT_EQ(Shown(*fan).pixelColor(5, 5), QColor(Qt::blue));
}

}  // namespace
}  // namespace breezel
