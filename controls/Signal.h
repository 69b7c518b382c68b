#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace breezel {

namespace detail {
struct SlotState {
    bool connected = true;
};
}  // namespace detail

/// Handle of one connection; disconnects when destroyed. Safe whether the signal or the
/// connection goes first, so a view may outlive its model or the other way round.
class ScopedConnection {
public:
    ScopedConnection() = default;
    explicit ScopedConnection(std::weak_ptr<detail::SlotState> state) : state_(std::move(state)) {}
    ScopedConnection(ScopedConnection&& other) noexcept = default;
    ScopedConnection& operator=(ScopedConnection&& other) noexcept {
        disconnect();
        state_ = std::move(other.state_);
        return *this;
    }
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;
    ~ScopedConnection() { disconnect(); }

    /// Stops further calls of the slot.
    void disconnect() {
        if (auto state = state_.lock()) {
            state->connected = false;
        }
        state_.reset();
    }

private:
    std::weak_ptr<detail::SlotState> state_;
};

/// A list of callbacks run in connection order. Notifying copies the list first, so a slot may
/// connect, disconnect or even destroy the object that owns the signal.
template <typename... Args>
class Signal {
public:
    using Slot = std::function<void(Args...)>;

    /// Connects for the lifetime of the signal (for a form's own reactions).
    void connect(Slot slot) { add(std::move(slot)); }

    /// Connects until the returned handle is destroyed (for observers such as views).
    [[nodiscard]] ScopedConnection connectScoped(Slot slot) {
        return ScopedConnection(add(std::move(slot)));
    }

    /// Runs every connected slot.
    void notify(Args... args) const {
        const auto snapshot = entries_;
        for (const auto& entry : snapshot) {
            if (entry->state->connected) {
                entry->slot(args...);
            }
        }
    }

private:
    struct Entry {
        Slot slot;
        std::shared_ptr<detail::SlotState> state = std::make_shared<detail::SlotState>();
    };

    std::weak_ptr<detail::SlotState> add(Slot slot) {
        std::erase_if(entries_, [](const auto& e) { return !e->state->connected; });
        auto entry = std::make_shared<Entry>();
        entry->slot = std::move(slot);
        entries_.push_back(entry);
        return entry->state;
    }

    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace breezel
