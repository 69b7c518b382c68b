#pragma once

// A scripted mail server for protocol tests, of any protocol. The script alternates what the server
// sends and what the client must write; server bytes after a client step arrive only once the
// client has written what that step expects, the way a real server answers only what it has
// received. Nothing ever waits in real time: time is simulated and passes only while the client
// waits for bytes, up to the next scripted arrival or to the deadline the session's pace sets,
// which then ends the read as the real transport does.
//
// A client speaks only after it has read the server's greeting: a write before the first byte
// read goes against every script.
//
// The fake keeps the transport's contract: at startTls, bytes that arrived before the handshake
// are thrown away (and counted), so a client can only have used them by reading them earlier.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "net/Pace.h"
#include "net/Transport.h"

namespace breezel::net {

/// One scripted connection: the script, and a record of what the client did.
class Conversation {
public:
    /// The server sends bytes.
    void server(std::string bytes);
    /// The client must write exactly these bytes next (in any number of writes).
    void client(std::string bytes);
    /// The TLS handshake after STLS; it fails when status is not Ok.
    void tls(TransportStatus status = {});
    /// The server closes the connection.
    void drop();
    /// The server sends nothing more: every read from here on times out.
    void silence();
    /// The server sends bytes in pieces of piece bytes, one every `every` (counted from when the
    /// script reaches the piece before), the first after it.
    void drip(const std::string& bytes, std::size_t piece, std::chrono::milliseconds every);
    /// connect() fails with code.
    void failConnect(TransportCode code, std::string detail = {});

    /// A transport that plays this conversation; the conversation must outlive it.
    std::unique_ptr<Transport> transport();

    /// Everything the client wrote, with "<TLS>" where the handshake started.
    const std::string& sent() const { return sent_; }
    /// How many write() calls the client made.
    int writes() const { return writes_; }
    /// How many readLine() calls the client made.
    int reads() const { return reads_; }
    /// The host given to connect().
    const std::string& host() const { return host_; }
    /// The port given to connect().
    std::uint16_t port() const { return port_; }
    /// Whether connect() was asked for TLS from the first byte.
    bool tlsAtConnect() const { return tlsAtConnect_; }
    /// The host the TLS upgrade verified.
    const std::string& tlsHost() const { return tlsHost_; }
    /// Bytes thrown away by the handshake because they came before it.
    std::size_t discardedAtTls() const { return discardedAtTls_; }
    /// The timeout of the last read.
    std::chrono::milliseconds lastReadTimeout() const { return lastReadTimeout_; }
    /// The largest byte limit any read was given.
    std::size_t largestReadLimit() const { return largestReadLimit_; }
    /// The simulated time so far; it passes only while the client waits.
    std::chrono::milliseconds elapsed() const;
    /// The detail of the last read that failed (for a timeout: which bound ran out).
    const std::string& readFailure() const { return readFailure_; }
    /// Whether the client closed the connection.
    bool closed() const { return closed_; }
    /// What went against the script ("" when nothing did).
    const std::string& deviation() const { return deviation_; }
    /// Whether every step of the script was played.
    bool finished() const { return steps_.empty(); }

    // The transport's calls, through the harness's transport.
    /// Records where the client connects and starts pace; fails as set by failConnect.
    TransportStatus connect(const std::string& host, std::uint16_t port, bool tls, Pace& pace);
    /// Records bytes and matches them against the client steps.
    TransportStatus write(std::string_view bytes);
    /// The next line, once it has arrived; Closed when the server dropped the connection first,
    /// and pace's Timeout when its deadline comes first.
    TransportStatus readLine(std::string& line, std::size_t maxBytes,
                             std::chrono::milliseconds timeout, Pace& pace);
    /// Plays the scripted handshake after dropping everything that arrived before it.
    TransportStatus startTls(const std::string& host);
    /// The client hangs up.
    void close() { closed_ = true; }

private:
    enum class Kind { Server, Client, Tls, Drop, Silence, Pause };
    struct Step {
        Kind kind;
        std::string bytes;
        TransportStatus status;
        std::chrono::milliseconds delay{0};
        std::optional<Pace::Time> due;  // a pause's end, set once the script reaches it
    };

    void deliver();
    void matchWrites();
    std::size_t unread() const { return arrived_.size() - offset_; }
    std::size_t takeInFlight();
    std::optional<Pace::Time> nextArrival() const;

    std::deque<Step> steps_;
    // Server bytes on their way, not yet taken by a read: as in a socket's buffer.
    std::deque<std::string> inFlight_;
    std::string arrived_;  // server bytes taken by reads; read up to offset_
    std::size_t offset_ = 0;
    std::string unmatched_;  // written bytes not yet matched to a client step
    Pace::Time now_{};       // the simulated clock
    TransportStatus connectStatus_;
    bool greeted_ = false;  // the client has read a line
    bool dropped_ = false;
    bool closed_ = false;
    std::string sent_;
    int writes_ = 0;
    int reads_ = 0;
    std::string host_;
    std::uint16_t port_ = 0;
    bool tlsAtConnect_ = false;
    std::string tlsHost_;
    std::size_t discardedAtTls_ = 0;
    std::chrono::milliseconds lastReadTimeout_{0};
    std::size_t largestReadLimit_ = 0;
    std::string deviation_;
    std::string readFailure_;
};

}  // namespace breezel::net
