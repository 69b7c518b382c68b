#pragma once

#include "Conversation.h"
#include "pop3/Pop3Transport.h"

namespace breezel::pop3 {

/// The transport the engine owns, playing a Conversation that the test owns and examines
/// after the engine has let go of the transport. Its tasks never suspend: the conversation's
/// time is simulated.
class ScriptedTransport : public Transport {
public:
    explicit ScriptedTransport(Conversation& conversation) : conversation_(conversation) {}

    /// Connects as scripted by failConnect (the timeout plays no part: connecting takes no time).
    Task<TransportStatus> connect(std::string host, std::uint16_t port, bool tls,
                                  std::chrono::milliseconds, Pace& pace) override {
        co_return conversation_.connect(host, port, tls, pace);
    }
    /// Records bytes and matches them against the script.
    TransportStatus write(std::string_view bytes) override { return conversation_.write(bytes); }
    /// The next scripted line, once it has arrived in simulated time, or the read's failure.
    Task<TransportStatus> readLine(std::string& line, std::size_t maxBytes,
                                   std::chrono::milliseconds timeout, Pace& pace) override {
        co_return conversation_.readLine(line, maxBytes, timeout, pace);
    }
    /// The scripted handshake, dropping what arrived before it.
    Task<TransportStatus> startTls(std::string host, std::chrono::milliseconds) override {
        co_return conversation_.startTls(host);
    }
    /// Marks the conversation closed.
    void close() override { conversation_.close(); }

private:
    Conversation& conversation_;
};

}  // namespace breezel::pop3
