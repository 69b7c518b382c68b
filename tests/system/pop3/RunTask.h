#pragma once

// Runs a task in a Qt event loop, the way the program's one event loop runs its tasks: for
// tests of code whose waits are resumed by Qt's events (sockets, timers).

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "common/Task.h"

namespace breezel {

namespace detail {

template <typename T>
Task<> KeepResult(Task<T> task, std::optional<T>& result) {
    result.emplace(co_await std::move(task));
}

inline Task<> KeepResult(Task<> task, std::optional<Done>& result) {
    co_await std::move(task);
    result.emplace();
}

}  // namespace detail

/// Runs an event loop until done() holds or limit passes; whether it holds.
inline bool RunUntil(const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(5);
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    if (!done()) {
        loop.exec();
    }
    return done();
}

/// Starts task and runs an event loop until it ends or timeout passes. Its result, or nothing
/// when it did not end in time: it is then destroyed where it waits. A Task<> gives Done.
template <typename T>
auto RunTask(Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    using Result = std::conditional_t<std::is_void_v<T>, Done, T>;
    std::optional<Result> result;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool ended = false;
    // Declared last: an unfinished task goes before anything it refers to.
    TaskScope scope;
    scope.spawn(detail::KeepResult(std::move(task), result), [&] {
        ended = true;
        loop.quit();
    });
    if (!ended) {
        timer.start(timeout);
        loop.exec();
    }
    return result;
}

}  // namespace breezel
