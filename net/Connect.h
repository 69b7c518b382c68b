#pragma once

// Connecting and encrypting, which both engines do alike: what a failed connect means for the
// call that made it, and the TLS handshake after the server accepted STLS or STARTTLS.

#include <chrono>
#include <optional>
#include <string>

#include "common/Task.h"
#include "net/CallResult.h"
#include "net/ErrorText.h"
#include "net/ServerAddress.h"
#include "net/Transport.h"

namespace breezel::net {

/// Nothing when connecting to address went well. Otherwise value -1 with the link's failure
/// when no connection was made, or value 1 with a Refused failure when the server was reached
/// but its TLS failed: the connection counts as made, and the user learns why at the login.
std::optional<CallResult> ConnectFailure(const TransportStatus& status,
                                         const ServerAddress& address);

/// The handshake on transport after the server accepted the upgrade, verifying the peer as host;
/// any failure is told as a TLS one.
Task<LinkFault> UpgradeToTls(Transport& transport, std::string host,
                             std::chrono::milliseconds timeout);

}  // namespace breezel::net
