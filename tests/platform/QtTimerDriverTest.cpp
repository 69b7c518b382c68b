// Form timers on the real event loop: a handler that waits lets the others tick, never itself.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <memory>

#include "controls/Timer.h"
#include "platform/Wait.h"
#include "qt/QtTimerDriver.h"
#include "system/pop3/RunTask.h"

namespace breezel {
namespace {

TEST(QtTimerDriverTest, AWaitingReactionLetsOtherTimersTickButIsNotReentered) {
    QtTimerDriver driver;
    Timer check(100);
    Timer label(20);
    int depth = 0, deepest = 0, checks = 0, labelsDuringWait = 0;
    bool waiting = false;
    check.setWork([&]() -> Task<> {
        ++checks;
        deepest = std::max(deepest, ++depth);
        if (checks == 1) {
            // A mail check's wait: the reaction is suspended for 300 ms.
            waiting = true;
            co_await After(driver, 300);
            waiting = false;
        }
        --depth;
    });
    auto onLabel = label.onTimer.connectScoped([&] { labelsDuringWait += waiting ? 1 : 0; });
    driver.attach(check);
    driver.attach(label);

    ASSERT_TRUE(RunUntil([&] { return checks >= 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_GE(labelsDuringWait, 10) << "the label went on scrolling during the wait";
    driver.detach(check);
    driver.detach(label);
}

TEST(QtTimerDriverTest, StoppingRestartingAndDetachingFromInsideATickAreSafe) {
    QtTimerDriver driver;
    auto once = std::make_unique<Timer>(20);
    Timer survivor(40);
    int onceTicks = 0, survivorTicks = 0;
    auto onOnce = once->onTimer.connectScoped([&] {
        ++onceTicks;
        // The handler ends its own form: detached and gone within its tick.
        driver.detach(*once);
    });
    auto onSurvivor = survivor.onTimer.connectScoped([&] {
        ++survivorTicks;
        if (survivorTicks == 1) {
            survivor.setEnabled(false);
            survivor.setEnabled(true);  // counts again from here
        }
    });
    driver.attach(*once);
    driver.attach(survivor);
    ASSERT_TRUE(RunUntil([&] { return survivorTicks >= 3; }));
    EXPECT_EQ(onceTicks, 1);

    survivor.setInterval(0);
    const int stoppedAt = survivorTicks;
    QEventLoop idle;
    QTimer::singleShot(300, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_EQ(survivorTicks, stoppedAt) << "an interval of 0 stops the ticks";
    driver.detach(survivor);
}

}  // namespace
}  // namespace breezel
