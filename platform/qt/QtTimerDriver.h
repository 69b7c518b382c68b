#pragma once

#include <QObject>
#include <map>
#include <memory>

#include "app/controls/Signal.h"
#include "platform/TimerDriver.h"

class QTimer;

namespace breezel {

/// Delivers the forms' timer ticks from the Qt event loop.
class QtTimerDriver : public TimerDriver {
public:
    QtTimerDriver();
    ~QtTimerDriver() override;

    void attach(Timer& timer) override;
    void detach(Timer& timer) override;

private:
    struct Binding;
    std::map<Timer*, std::unique_ptr<Binding>> bindings_;
};

}  // namespace breezel
