#include "platform/qt/QtTimerDriver.h"

#include <QTimer>

#include "app/controls/Timer.h"

namespace breezel {

struct QtTimerDriver::Binding {
    QTimer qtimer;
    ScopedConnection connection;
};

QtTimerDriver::QtTimerDriver() = default;
QtTimerDriver::~QtTimerDriver() = default;

void QtTimerDriver::attach(Timer& timer) {
    auto binding = std::make_unique<Binding>();
    Binding* raw = binding.get();
    // The 20 ms label refresh must not be bunched up by coarse timer slack.
    raw->qtimer.setTimerType(timer.interval() < 100 ? Qt::PreciseTimer : Qt::CoarseTimer);
    QObject::connect(&raw->qtimer, &QTimer::timeout, [&timer] { timer.tick(); });
    auto restart = [raw, &timer] {
        if (timer.running()) {
            raw->qtimer.start(timer.interval());
        } else {
            raw->qtimer.stop();
        }
    };
    raw->connection = timer.changed.connectScoped(restart);
    restart();
    bindings_[&timer] = std::move(binding);
}

void QtTimerDriver::detach(Timer& timer) {
    bindings_.erase(&timer);
}

}  // namespace breezel
