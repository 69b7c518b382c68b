#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "controls/Form.h"
#include "controls/Timer.h"
#include "forms/FrameRegion.h"

namespace breezel {

class FormContext;

/// The swinging wind-chime window: borderless, on top, shaped like the chime in its current
/// frame. Once a second it switches between the chime's two pictures; a left-button press drags
/// it, a right-button press ends the program on the spot.
class Form1 : public Form {
public:
    static constexpr int kFrames = 8;

    explicit Form1(FormContext& context);

    std::vector<Timer*> timers() override { return {&Timer1}; }

    /// Load step: shapes, size, stacking, generator, steps and place beside the main window.
    void Form_Load();
    /// One tick of the swing.
    void Timer1_Timer();
    /// A mouse press inside the shape, with the button mask (1 left, 2 right, 4 middle).
    void Form_MouseDown(int buttons);
    /// The shape of each frame from its picture.
    void BuildFrameRegions();

    /// The frame shown: -1 until the first tick (the design picture, frame 0, without a shape).
    int frameIndex() const { return frameIndex_; }
    /// The window's shape; empty until the first tick has set one.
    bool shaped() const { return frameIndex_ >= 0; }
    const std::vector<RegionRect>& shape() const {
        return frameRegions[frameIndex_ < 0 ? 0 : frameIndex_];
    }

    Timer Timer1{1000};
    std::array<std::vector<RegionRect>, kFrames> frameRegions;
    /// Movement per tick in twips.
    std::int16_t stepX = 0;
    std::int16_t stepY = 0;

    /// The frame or the shape changed.
    Signal<> pictureChanged;
    /// The left button went down: the user drags the window until it is released.
    Signal<> dragRequested;

private:
    FormContext& context_;
    int frameIndex_ = -1;
    Twips frameWidth_ = 0;
    Twips frameHeight_ = 0;
};

}  // namespace breezel
