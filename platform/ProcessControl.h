#pragma once

namespace breezel {

/// Ending the process.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    /// Ends the process at once: no further event, timer tick or closing step runs.
    virtual void endProcess() = 0;
};

}  // namespace breezel
