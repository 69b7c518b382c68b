#pragma once

// Work that waits without holding the thread: C++20 coroutines that suspend at a wait and are
// resumed from the one event loop when what they wait for has happened. Nothing ever waits by
// running a loop of its own, so waits cannot stack on top of each other.
//
// Task<T> is lazy: it starts when awaited, or when a TaskScope spawns it. A scope owns the tasks
// it started; destroying the scope destroys every task still suspended, so nothing outlives the
// objects it refers to. Pass coroutine arguments by value: a task may run after its caller's
// temporaries are gone.

#include <coroutine>
#include <cstddef>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <utility>

namespace breezel {

class TaskScope;

namespace detail {

struct PromiseBase {
    std::coroutine_handle<> continuation;
    // Set while the awaiting task runs this one inline; its end is then reported back instead
    // of resuming the awaiting task, so a long run of tasks that never wait needs no stack.
    bool runningInline = false;
    bool endedInline = false;
    // Set for a task that a scope started: the scope lets go of it when it ends.
    TaskScope* scope = nullptr;
    std::exception_ptr error;

    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <typename Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> handle) noexcept;
        void await_resume() noexcept {}
    };

    std::suspend_always initial_suspend() noexcept { return {}; }
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <typename T>
struct Promise : PromiseBase {
    std::optional<T> value;
    auto get_return_object() noexcept;
    template <typename U>
    void return_value(U&& result) {
        value.emplace(std::forward<U>(result));
    }
    T take() {
        if (error) {
            std::rethrow_exception(error);
        }
        return std::move(*value);
    }
};

template <>
struct Promise<void> : PromiseBase {
    auto get_return_object() noexcept;
    void return_void() noexcept {}
    void take() {
        if (error) {
            std::rethrow_exception(error);
        }
    }
};

}  // namespace detail

/// A coroutine's result: awaited with co_await, or started by a TaskScope.
template <typename T = void>
class [[nodiscard]] Task {
public:
    using promise_type = detail::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle handle) : handle_(handle) {}
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() { reset(); }

    bool valid() const { return static_cast<bool>(handle_); }
    /// Whether the task has run to its end (its value may be taken).
    bool done() const { return handle_ && handle_.done(); }

    auto operator co_await() && noexcept {
        struct Awaiter {
            Handle handle;
            bool await_ready() noexcept { return !handle || handle.done(); }
            bool await_suspend(std::coroutine_handle<> waiting) noexcept {
                auto& promise = handle.promise();
                promise.continuation = waiting;
                promise.runningInline = true;
                handle.resume();
                promise.runningInline = false;
                // Ended at once: the awaiting task goes on without suspending.
                return !promise.endedInline;
            }
            T await_resume() { return handle.promise().take(); }
        };
        return Awaiter{handle_};
    }

    /// Runs the task until it first waits or ends. For code that drives a task by hand (tests
    /// that know every wait is already answered); a scope is the usual owner.
    void start() {
        if (handle_ && !handle_.done()) {
            handle_.resume();
        }
    }
    /// The result of a task that has ended.
    T result() { return handle_.promise().take(); }

private:
    friend class TaskScope;
    Handle release() { return std::exchange(handle_, {}); }
    void reset() {
        if (handle_) {
            handle_.destroy();
            handle_ = {};
        }
    }

    Handle handle_;
};

namespace detail {

template <typename T>
auto Promise<T>::get_return_object() noexcept {
    return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}

inline auto Promise<void>::get_return_object() noexcept {
    return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}

}  // namespace detail

/// Owns tasks started as reactions (a click, a tick): each runs on its own and is let go when it
/// ends; whatever is still suspended when the scope goes is destroyed with it.
class TaskScope {
public:
    TaskScope() = default;
    TaskScope(const TaskScope&) = delete;
    TaskScope& operator=(const TaskScope&) = delete;
    ~TaskScope() { cancelAll(); }

    /// Starts the task at once; it runs until it first waits. ended runs when the task has run
    /// to its end (also at once, for a task that never waits), never when it is cancelled.
    void spawn(Task<> task, std::function<void()> ended = {}) {
        if (!task.valid()) {
            return;
        }
        auto handle = task.release();
        handle.promise().scope = this;
        running_.push_back({handle, std::move(ended)});
        handle.resume();
    }

    /// Destroys every task still suspended; their ends never come.
    void cancelAll() {
        while (!running_.empty()) {
            Entry entry = std::move(running_.front());
            running_.pop_front();
            entry.handle.destroy();
        }
    }

    /// How many tasks are still suspended.
    std::size_t size() const { return running_.size(); }

private:
    friend struct detail::PromiseBase;
    struct Entry {
        std::coroutine_handle<> handle;
        std::function<void()> ended;
    };

    // Called from the task's final suspension point: the frame may be destroyed here.
    void finished(std::coroutine_handle<> handle, std::exception_ptr error) {
        for (auto it = running_.begin(); it != running_.end(); ++it) {
            if (it->handle == handle) {
                std::function<void()> ended = std::move(it->ended);
                running_.erase(it);
                handle.destroy();
                if (error) {
                    // A reaction has nobody to report to: failing loudly beats going on unseen.
                    std::terminate();
                }
                if (ended) {
                    ended();
                }
                return;
            }
        }
    }

    std::list<Entry> running_;
};

template <typename Promise>
std::coroutine_handle<> detail::PromiseBase::FinalAwaiter::await_suspend(
    std::coroutine_handle<Promise> handle) noexcept {
    PromiseBase& promise = handle.promise();
    if (promise.runningInline) {
        promise.endedInline = true;
        return std::noop_coroutine();
    }
    if (promise.continuation) {
        return promise.continuation;
    }
    if (promise.scope != nullptr) {
        promise.scope->finished(handle, promise.error);
    }
    return std::noop_coroutine();
}

/// Suspends until a callback-style operation answers. start is called with the function to
/// call back; the answer may come at once or later from the event loop. If the waiting task is
/// destroyed first, a later answer is dropped.
template <typename T>
class Answer {
public:
    using Reply = std::function<void(T)>;
    explicit Answer(std::function<void(Reply)> start)
        : start_(std::move(start)), state_(std::make_shared<State>()) {}
    Answer(Answer&&) noexcept = default;
    ~Answer() {
        if (state_) {
            state_->cancelled = true;
        }
    }

    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<> waiting) {
        state_->waiting = waiting;
        state_->starting = true;
        std::function<void(Reply)> start = std::move(start_);
        start([state = state_](T value) {
            if (state->cancelled || state->value) {
                return;
            }
            state->value.emplace(std::move(value));
            if (!state->starting) {
                state->waiting.resume();
            }
        });
        state_->starting = false;
        // An answer given at once needs no suspension.
        return !state_->value.has_value();
    }
    T await_resume() { return std::move(*state_->value); }

private:
    struct State {
        std::coroutine_handle<> waiting;
        std::optional<T> value;
        bool starting = false;
        bool cancelled = false;
    };
    std::function<void(Reply)> start_;
    std::shared_ptr<State> state_;
};

/// An answer without a value: the operation only says that it is over.
struct Done {};

}  // namespace breezel
