#pragma once

#include <string>

namespace breezel {

/// Starts other programs.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    /// Starts the program file at path, without arguments and without a shell, and does not
    /// watch it; false when it could not be started.
    virtual bool start(const std::string& path) = 0;
};

}  // namespace breezel
