#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace breezel::pop3 {

/// What went wrong on the byte stream.
enum class TransportCode {
    Ok,
    HostNotFound,  ///< the name did not resolve
    Refused,       ///< nobody listens on the port
    Timeout,       ///< no answer within the time limit
    Closed,        ///< the peer closed the connection
    LineTooLong,   ///< no line end within the byte limit
    Tls,           ///< handshake or certificate failure
    Other,         ///< any other socket error
};

/// Result of a transport operation: a code and, on failure, a detail text for the user.
struct TransportStatus {
    TransportCode code = TransportCode::Ok;
    std::string detail;
    bool ok() const { return code == TransportCode::Ok; }
};

/// A byte-stream connection to one server. Every wait is bounded by the given timeout; while
/// waiting, the real implementation keeps the program's events flowing.
class Transport {
public:
    virtual ~Transport() = default;
    /// Connects to host:port; with tls the TLS handshake (peer verified for host) completes first.
    virtual TransportStatus connect(const std::string& host, std::uint16_t port, bool tls,
                                    std::chrono::milliseconds timeout) = 0;
    /// Queues bytes for sending; they go out without waiting for an answer.
    virtual TransportStatus write(std::string_view bytes) = 0;
    /// Reads one line including its LF (the LF may be missing only at LineTooLong). Waits at most
    /// timeout for each arrival of data; fails with LineTooLong past maxBytes without an LF.
    virtual TransportStatus readLine(std::string& line, std::size_t maxBytes,
                                     std::chrono::milliseconds timeout) = 0;
    /// Upgrades the open connection to TLS (after STLS), verifying the peer for host. Bytes that
    /// arrived before the handshake are discarded, never read as if they came over TLS.
    virtual TransportStatus startTls(const std::string& host,
                                     std::chrono::milliseconds timeout) = 0;
    /// Closes the connection; further calls fail with Closed.
    virtual void close() = 0;
};

/// Makes a fresh transport for each connection.
class TransportFactory {
public:
    virtual ~TransportFactory() = default;
    virtual std::unique_ptr<Transport> create() = 0;
};

}  // namespace breezel::pop3
