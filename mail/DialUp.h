#pragma once

#include "common/Task.h"

namespace breezel {

class DialUpConnections;

/// Hangs up every active dial-up connection; nothing when they cannot be listed. Nothing is
/// ever shown, and a failed hang-up does not stop the others. Suspends while the connections
/// are listed.
Task<> HangUpDialUpConnections(DialUpConnections& connections);

}  // namespace breezel
