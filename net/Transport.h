#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/Task.h"

namespace breezel::net {

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

class Pace;

/// A byte-stream connection to one server. Every wait suspends the calling task, which the
/// event loop resumes when the server has answered or the time is up, and is bounded by the
/// given timeout (reads also by the session's pace). A read whose line has already arrived
/// completes without suspending. The caller awaits each task at once, one at a time; references
/// it passes must live until the task ends. A destroyed transport never resumes a task.
class Transport {
public:
    virtual ~Transport() = default;
    /// Connects to host:port; with tls the TLS handshake (peer verified for host) completes
    /// first. Starts pace: the session's bounds count from here.
    virtual Task<TransportStatus> connect(std::string host, std::uint16_t port, bool tls,
                                          std::chrono::milliseconds timeout, Pace& pace) = 0;
    /// Queues bytes for sending; they go out without waiting for an answer.
    virtual TransportStatus write(std::string_view bytes) = 0;
    /// Reads one line including its LF (the LF may be missing only at LineTooLong). Waits at
    /// most timeout for each arrival of data and tells pace of every byte that arrives, giving
    /// up with pace's Timeout when its bounds run out; fails with LineTooLong past maxBytes
    /// without an LF.
    virtual Task<TransportStatus> readLine(std::string& line, std::size_t maxBytes,
                                           std::chrono::milliseconds timeout, Pace& pace) = 0;
    /// Upgrades the open connection to TLS (after STLS), verifying the peer for host. Bytes that
    /// arrived before the handshake are discarded, never read as if they came over TLS.
    virtual Task<TransportStatus> startTls(std::string host, std::chrono::milliseconds timeout) = 0;
    /// Closes the connection; further calls fail with Closed. Not while a task of this
    /// transport is suspended: that task would never be resumed.
    virtual void close() = 0;
};

/// Makes a fresh transport for each connection.
class TransportFactory {
public:
    virtual ~TransportFactory() = default;
    virtual std::unique_ptr<Transport> create() = 0;
};

}  // namespace breezel::net
