#pragma once

#include <functional>
#include <vector>

#include "platform/ProcessControl.h"

namespace breezel {

/// Ends the process on the spot, even from inside a nested event loop: nothing that waits
/// resumes and no window's closing step runs. Settings files are complete on disk already,
/// since every write replaces its file atomically.
class QtProcessControl : public ProcessControl {
public:
    /// A step that must run however the process ends, e.g. removing what it put outside its
    /// folders; destructors do not run on this way out.
    void beforeEnd(std::function<void()> step) { steps_.push_back(std::move(step)); }
    void endProcess() override;

private:
    std::vector<std::function<void()>> steps_;
};

}  // namespace breezel
