#pragma once

#include <QPixmap>
#include <QWidget>
#include <vector>

#include "controls/Signal.h"
#include "controls/Timer.h"

namespace breezel {

class TimerDriver;

/// The turning fan: plays an animated picture frame by frame. Its frames step on the program's
/// timer driver, so they come on the same wake-ups as the label refresh instead of on their own.
class FanView : public QWidget {
public:
    FanView(QWidget* parent, TimerDriver& timers);
    ~FanView() override;

    /// Reads the picture afresh and plays it from its first frame, looping as the picture asks.
    /// A picture that cannot be read shows nothing.
    void play(const QString& path);

    /// While no one can see it, its frames step late, with the wake-ups the process has anyway,
    /// and their pictures are let go (a notifier spends most of its life hidden); seen again,
    /// it reads them afresh and stands where it would have turned to.
    void setDeferred(bool deferred);

    int frameCount() const { return static_cast<int>(frames_.size()); }
    int currentFrame() const { return static_cast<int>(current_); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Frame {
        QPixmap picture;
        int delayMs;
        // Where it differs from the frame before it: all a step repaints.
        QRect changed;
    };

    void step();
    /// Decodes path_'s frames: all of them, or only their pictures when the frames are known.
    void read(bool picturesOnly);
    /// Where the current frame lies; only valid while there are frames.
    QRect pictureRect() const;

    TimerDriver& timers_;
    Timer timer_{0};
    ScopedConnection tick_;
    QString path_;
    std::vector<Frame> frames_;
    std::size_t current_ = 0;
    // Further passes after the first; -1 for ever.
    int loopsLeft_ = 0;
    bool opaque_ = false;
};

}  // namespace breezel
