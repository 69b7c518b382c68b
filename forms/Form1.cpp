#include "forms/Form1.h"

#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "platform/Desktop.h"
#include "platform/ProcessControl.h"
#include "platform/RandomSource.h"
#include "settings/NumberText.h"

namespace breezel {

namespace {
constexpr Twips kBesideMainLeft = 2000;
constexpr Twips kBesideMainTop = 2400;
constexpr int kLeftButton = 1;
constexpr int kRightButtonOnly = 2;

Twips Rounded(double twips) {
    return static_cast<Twips>(RoundHalfEven(twips));
}
}  // namespace

Form1::Form1(FormContext& context) : Form("Form1", "", 1500, 1500), context_(context) {
    Timer1.onTimer.connect([this] { Timer1_Timer(); });
}

void Form1::BuildFrameRegions() {
    for (int k = 0; k < kFrames; ++k) {
        const RgbImage frame = context_.services().pictures.chimeFrame(k);
        // Every shape is kept whole, however many rectangles it needs.
        frameRegions[k] = BuildFrameRegion(frame);
        if (k == 0) {
            frameWidth_ = frame.width * kTwipsPerPixel;
            frameHeight_ = frame.height * kTwipsPerPixel;
        }
    }
}

void Form1::Form_Load() {
    BuildFrameRegions();
    window.setClientSize(frameWidth_, frameHeight_);
    window.setTopmost(true);
    context_.services().random.seedFromTime();
    stepX = -5;
    stepY = -2;
    const FormWindow& main = context_.mainForm().window;
    window.setPosition(main.left() + kBesideMainLeft, main.top() + kBesideMainTop);
}

void Form1::Timer1_Timer() {
    std::int16_t& swingTicks = context_.chimeSwingTicks();
    if (swingTicks < 1) {
        const float r = context_.services().random.next();
        swingTicks = static_cast<std::int16_t>(RoundHalfEven((r * 10.0f + 3.0f) * 2.0f));
        stepX = 0;
        stepY = 0;
    }
    --swingTicks;

    Twips left = Rounded(window.left() + stepX);
    Twips top = Rounded(window.top() + stepY);
    // Back onto the screen; the right and bottom rules come last, so a window wider than the
    // screen ends up with a negative left edge.
    left = std::max(left, 0);
    top = std::max(top, 0);
    Desktop& desktop = context_.services().desktop;
    if (frameWidth_ + left > desktop.screenWidth()) {
        left = desktop.screenWidth() - frameWidth_;
    }
    if (frameHeight_ + top > desktop.screenHeight()) {
        top = desktop.screenHeight() - frameHeight_;
    }
    window.setPosition(left, top);

    frameIndex_ = swingTicks % 2 + (stepX > 0 ? 2 : 0) + (stepY < 0 ? 4 : 0);
    pictureChanged.notify();
}

void Form1::Form_MouseDown(int buttons) {
    if ((buttons & kLeftButton) != 0) {
        dragRequested.notify();
    } else if (buttons == kRightButtonOnly) {
        context_.services().process.endProcess();
    }
}

}  // namespace breezel
