#pragma once

namespace breezel {

class DialUpConnections;

/// Hangs up every active dial-up connection; nothing when they cannot be listed. Nothing is
/// ever shown, and a failed hang-up does not stop the others.
void HangUpDialUpConnections(DialUpConnections& connections);

}  // namespace breezel
