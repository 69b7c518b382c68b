#pragma once

// Misbehaving TCP peers on 127.0.0.1, each served by its own thread so that they act while the
// code under test waits in its event loop.

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace breezel::faults {

/// Accepts connections and never sends a byte; holds them open until destroyed.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> held_;
    std::thread thread_;
};

/// Forwards one connection at a time to 127.0.0.1:targetPort; after resetAfter bytes from the
/// server it aborts the client's connection with a reset (SO_LINGER 0), once.
class ResetProxy {
public:
    ResetProxy(int targetPort, std::uint64_t resetAfter);
    ~ResetProxy();
    int port() const { return port_; }
    /// Whether the reset was sent.
    bool reset() const { return reset_; }

private:
    void serve(int client);

    int targetPort_;
    std::uint64_t resetAfter_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> reset_{false};
    std::thread thread_;
};

}  // namespace breezel::faults
