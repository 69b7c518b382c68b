#pragma once

#include "platform/ProcessControl.h"

namespace breezel {

/// Ends the process on the spot, even from inside a nested event loop: nothing that waits
/// resumes and no window's closing step runs. Settings files are complete on disk already,
/// since every write replaces its file atomically.
class QtProcessControl : public ProcessControl {
public:
    void endProcess() override;
};

}  // namespace breezel
