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

#include "platform/pop3/Pop3Limits.h"
#include "platform/pop3/Pop3Transport.h"

namespace breezel::pop3 {

/// A failure of the link or of the protocol, as the user's text; empty when all went well.
using LinkFault = std::optional<std::string>;

/// A status line: +OK or -ERR and the text after it, line end removed.
struct Reply {
    bool ok = false;
    std::string text;
};

/// Reads and writes POP3 lines on one transport within the limits.
class Pop3Channel {
public:
    /// Receives each line of a multi-line response, dot-unstuffed and without its line end.
    using LineSink = std::function<void(std::string_view)>;

    Pop3Channel(std::unique_ptr<Transport> transport, const Pop3Limits& limits);

    /// Opens the connection; the transport's own status, for the caller to judge.
    TransportStatus connect(const std::string& host, std::uint16_t port, bool tls);
    /// Sends bytes (one or more whole command lines) in one write.
    LinkFault send(std::string_view bytes);
    /// Reads one status line, waiting at most timeout for each arrival of data.
    LinkFault readReply(Reply& reply, std::chrono::milliseconds timeout);
    /// Reads one status line within the response timeout.
    LinkFault readReply(Reply& reply) { return readReply(reply, limits_.responseTimeout); }
    /// Reads the lines of a multi-line response up to its "." line, at most maxLines lines
    /// and the byte limit in all; sink may be empty to discard them.
    LinkFault readLines(const LineSink& sink, std::size_t maxLines);
    /// Upgrades to TLS after STLS, verifying the peer as host.
    LinkFault startTls(const std::string& host);
    /// Closes the connection.
    void close();

private:
    LinkFault readLine(std::string& line, std::chrono::milliseconds timeout);

    std::unique_ptr<Transport> transport_;
    const Pop3Limits& limits_;
};

}  // namespace breezel::pop3
