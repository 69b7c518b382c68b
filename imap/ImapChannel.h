#pragma once

// IMAP's commands and responses over a transport: tagged commands out, whole responses in,
// each read bounded by the limits. Tags run a1, a2, ...; a tagged response whose tag was not
// sent, or was already answered, breaks the protocol. A failure comes back as the user's text,
// and the caller treats the link as broken from then on.
//
// Two paces bound the reads. The session's bounds a check, and on a push connection each
// exchange anew (restartPace). The idle pace bounds the wait in IDLE alone: it ends
// idleKeepAlive after the wait began, whatever the server says meanwhile, and has no low-speed
// rule, since a quiet mailbox sends nothing for hours.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Task.h"
#include "imap/ImapLimits.h"
#include "imap/Response.h"
#include "imap/ResponseReader.h"
#include "net/ErrorText.h"
#include "net/Pace.h"
#include "net/Transport.h"

namespace breezel::imap {

using net::LinkFault;

/// Takes what the untagged responses tell that come while an answer is awaited.
class UntaggedSink {
public:
    /// A fault when the response ends or breaks the session.
    virtual LinkFault absorb(const Response& response) = 0;

protected:
    ~UntaggedSink() = default;
};

/// Reads and writes IMAP on one transport within the limits.
class ImapChannel {
public:
    /// untagged, which must outlive the channel, takes the untagged responses of answerOf.
    ImapChannel(std::unique_ptr<Transport> transport, ImapLimits limits, UntaggedSink& untagged);

    /// Opens the connection, which starts the session's pace; the transport's own status.
    Task<TransportStatus> connect(std::string host, std::uint16_t port, bool tls);
    /// The next tag, due from now on: its command must be sent.
    std::string newTag();
    /// "aN text" CRLF with the next tag, which tag receives.
    std::string command(std::string_view text, std::string& tag);
    /// Sends bytes (whole command lines, or the pieces of one) in one write.
    LinkFault send(std::string_view bytes);
    /// Reads the next whole response, waiting at most timeout for each arrival of data, within
    /// the session's pace.
    Task<LinkFault> read(Response& response, std::chrono::milliseconds timeout);
    /// Reads the next whole response within the response timeout.
    Task<LinkFault> read(Response& response) { return read(response, limits_.responseTimeout); }
    /// Reads until tag's tagged answer comes, into answer; untagged responses go to the sink on
    /// the way and answers to other due tags are kept for their own answerOf. With continuation
    /// a "+" ends the read too; otherwise it breaks the protocol.
    Task<LinkFault> answerOf(const std::string& tag, Response& answer, bool continuation = false);
    /// Reads the next whole response in IDLE, within the idle pace only.
    Task<LinkFault> readIdle(Response& response);
    /// Whether the last readIdle ended because idleKeepAlive had passed since startIdle().
    bool idleExpired() const { return idleExpired_; }
    /// The session's bounds begin anew with the next exchange.
    void restartPace() { pace_.restart(); }
    /// The idle pace begins with the next wait.
    void startIdle() { idlePace_.restart(); }
    /// Upgrades to TLS after STARTTLS, verifying the peer as host.
    Task<LinkFault> startTls(std::string host);
    /// Closes the connection.
    void close();
    /// The bounds this channel keeps to.
    const ImapLimits& limits() const { return limits_; }

private:
    Task<LinkFault> readWith(Response& response, std::chrono::milliseconds timeout, Pace& pace);

    const ImapLimits limits_;
    // Outlive the transport, whose reads are handed them.
    Pace pace_;
    Pace idlePace_;
    std::unique_ptr<Transport> transport_;
    ResponseReader reader_;
    std::string line_;
    std::uint32_t lastTag_ = 0;
    std::vector<std::string> due_;  // tags sent and not yet answered
    std::vector<Response> early_;   // tagged answers that came before they were awaited
    UntaggedSink& untagged_;
    bool idleExpired_ = false;
};

}  // namespace breezel::imap
