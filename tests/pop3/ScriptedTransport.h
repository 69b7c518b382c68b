#pragma once

#include "Conversation.h"
#include "platform/pop3/Pop3Transport.h"

namespace breezel::pop3 {

/// The transport the engine owns, playing a Conversation that the test owns and examines
/// after the engine has let go of the transport.
class ScriptedTransport : public Transport {
public:
    explicit ScriptedTransport(Conversation& conversation) : conversation_(conversation) {}

    /// Connects as scripted by failConnect (the timeout plays no part: nothing waits).
    TransportStatus connect(const std::string& host, std::uint16_t port, bool tls,
                            std::chrono::milliseconds) override {
        return conversation_.connect(host, port, tls);
    }
    /// Records bytes and matches them against the script.
    TransportStatus write(std::string_view bytes) override { return conversation_.write(bytes); }
    /// Next scripted line, or Timeout/Closed/LineTooLong at once.
    TransportStatus readLine(std::string& line, std::size_t maxBytes,
                             std::chrono::milliseconds timeout) override {
        return conversation_.readLine(line, maxBytes, timeout);
    }
    /// The scripted handshake, dropping what arrived before it.
    TransportStatus startTls(const std::string& host, std::chrono::milliseconds) override {
        return conversation_.startTls(host);
    }
    /// Marks the conversation closed.
    void close() override { conversation_.close(); }

private:
    Conversation& conversation_;
};

}  // namespace breezel::pop3
