#pragma once

// The POP3 line protocol over a transport: commands out, status lines and multi-line
// responses in (RFC 1939, section 3). Every read is bounded by the limits; a failure comes back
// as the text the user should see, and the caller treats the link as broken from then on.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/Task.h"
#include "net/ErrorText.h"
#include "net/Pace.h"
#include "net/Transport.h"
#include "pop3/Pop3Limits.h"

namespace breezel::pop3 {

/// A status line: +OK or -ERR and the text after it, line end removed; or, during AUTH, the
/// server's "+ " challenge.
struct Reply {
    bool ok = false;
    std::string text;
    bool challenge = false;
};

/// Reads and writes POP3 lines on one transport within the limits.
class Pop3Channel {
public:
    /// Receives each line of a multi-line response, dot-unstuffed and without its line end.
    using LineSink = std::function<void(std::string_view)>;

    Pop3Channel(std::unique_ptr<Transport> transport, Pop3Limits limits);

    /// Opens the connection, which starts the session's pace; the transport's own status, for
    /// the caller to judge.
    Task<TransportStatus> connect(std::string host, std::uint16_t port, bool tls);
    /// Sends bytes (one or more whole command lines) in one write.
    LinkFault send(std::string_view bytes);
    /// Reads one status line into reply, waiting at most timeout for each arrival of data.
    Task<LinkFault> readReply(Reply& reply, std::chrono::milliseconds timeout);
    /// Reads one status line within the response timeout.
    Task<LinkFault> readReply(Reply& reply) { return readReply(reply, limits_.responseTimeout); }
    /// Reads one status line or SASL challenge within the response timeout (RFC 5034).
    Task<LinkFault> readSaslReply(Reply& reply);
    /// Reads the lines of a multi-line response up to its "." line, at most maxLines lines
    /// and the byte limit in all; sink may be empty to discard them.
    Task<LinkFault> readLines(LineSink sink, std::size_t maxLines);
    /// Upgrades to TLS after STLS, verifying the peer as host.
    Task<LinkFault> startTls(std::string host);
    /// Closes the connection.
    void close();
    /// The bounds this channel keeps to.
    const Pop3Limits& limits() const { return limits_; }

private:
    Task<LinkFault> readStatus(Reply& reply, std::chrono::milliseconds timeout, bool challenges);
    /// The fault of a read that ended with status; otherwise strips the line end.
    static LinkFault takeLine(const TransportStatus& status, std::string& line);

    const Pop3Limits limits_;
    // Outlives the transport, whose reads are handed it.
    Pace pace_;
    std::unique_ptr<Transport> transport_;
};

}  // namespace breezel::pop3
