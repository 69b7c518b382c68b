#include "qt/FanView.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "platform/BeatSchedule.h"
#include "platform/TimerDriver.h"
#include "qt/Bindings.h"

namespace breezel {

namespace {

// Browsers show frames without a usable delay for a tenth of a second.
constexpr int kDefaultDelayMs = 100;
// Frame delays, in whole beats, so that every frame lands on the timer driver's shared grid.
int OnBeat(int delayMs) {
    constexpr int beat = BeatSchedule::kBeatMs;
    if (delayMs <= 0) {
        delayMs = kDefaultDelayMs;
    }
    return std::max(beat, (delayMs + beat / 2) / beat * beat);
}

// The smallest rectangle holding every pixel in which the two pictures differ, both in
// ARGB32; all of them when the sizes differ.
QRect Difference(const QImage& from, const QImage& to) {
    if (from.size() != to.size()) {
        return to.rect().united(from.rect());
    }
    int left = to.width(), right = -1, top = to.height(), bottom = -1;
    for (int y = 0; y < to.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(from.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(to.constScanLine(y));
        for (int x = 0; x < to.width(); ++x) {
            if (a[x] != b[x]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

FanView::FanView(QWidget* parent, TimerDriver& timers) : QWidget(parent), timers_(timers) {
    tick_ = timer_.onTimer.connectScoped([this] { step(); });
    timers_.attach(timer_);
}

FanView::~FanView() {
    timers_.detach(timer_);
}

void FanView::play(const QString& path) {
    path_ = path;
    frames_.clear();
    current_ = 0;
    read(false);
    // See-through frames need what lies below drawn first; opaque ones are plain copies.
    opaque_ = std::none_of(frames_.begin(), frames_.end(),
                           [](const Frame& frame) { return frame.picture.hasAlphaChannel(); });
    setAttribute(Qt::WA_OpaquePaintEvent, opaque_);
    timer_.setInterval(frames_.size() > 1 ? frames_.front().delayMs : 0);
    update();
}

void FanView::read(bool picturesOnly) {
    QImageReader reader(PictureFor(path_, devicePixelRatioF()));
    // Decoded once: each later frame is a plain copy to the screen. A fan's stand and guard stay
    // still, so a step repaints only where its frame differs from the one before: the blades.
    QImage first, previous;
    std::size_t n = 0;
    while (reader.canRead()) {
        const QImage read = reader.read();
        if (read.isNull()) {
            break;
        }
        if (picturesOnly) {
            if (n < frames_.size()) {
                frames_[n++].picture = ToPixmap(read);
            }
            continue;
        }
        QImage image = read.convertToFormat(QImage::Format_ARGB32);
        const QRect changed = frames_.empty() ? QRect() : Difference(previous, image);
        frames_.push_back({ToPixmap(read), OnBeat(reader.nextImageDelay()), changed});
        if (frames_.size() == 1) {
            first = image;
        }
        previous = std::move(image);
    }
    if (picturesOnly) {
        return;
    }
    if (!frames_.empty()) {
        frames_.front().changed = Difference(previous, first);
    }
    // As animated pictures do: 0 plays once, n repeats n more times, -1 loops for ever.
    loopsLeft_ = reader.loopCount();
}

void FanView::setDeferred(bool deferred) {
    timer_.setDeferred(deferred);
    if (deferred) {
        for (Frame& frame : frames_) {
            frame.picture = QPixmap();
        }
#if defined(__GLIBC__)
        // The frames lay among live blocks, where the allocator keeps freed pages for itself:
        // hand them back, as the program may now rest hidden for hours.
        malloc_trim(0);
#endif
    } else if (!frames_.empty() && frames_.front().picture.isNull()) {
        read(true);
        update();
    }
}

void FanView::step() {
    if (current_ + 1 < frames_.size()) {
        ++current_;
    } else if (loopsLeft_ != 0) {
        if (loopsLeft_ > 0) {
            --loopsLeft_;
        }
        current_ = 0;
    } else {
        // The last pass ended: the last frame stays.
        timer_.setInterval(0);
        return;
    }
    timer_.setInterval(frames_[current_].delayMs);
    update(frames_[current_].changed);
}

void FanView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (frames_.empty() || frames_[current_].picture.isNull()) {
        return;
    }
    const QPixmap& picture = frames_[current_].picture;
    if (opaque_) {
        // Around the picture, the window's own background, as the widgets below would draw it.
        const QRegion around = event->region() - pictureRect();
        for (const QRect& rect : around) {
            painter.fillRect(rect, palette().window());
        }
    }
    painter.drawPixmap(0, 0, picture);
}

QRect FanView::pictureRect() const {
    return {QPoint(), frames_[current_].picture.deviceIndependentSize().toSize()};
}

}  // namespace breezel
