#pragma once

namespace breezel {

class Program;

/// The status lamp: steady green while checks are by hand only, green for two seconds then red
/// on every step while automatic checks are on.
class StatusLamp {
public:
    explicit StatusLamp(Program& program) : program_(program) {}

    /// One step, every second. A step that falls due during the two-second wait of the previous
    /// one is skipped rather than nested.
    void step();

private:
    Program& program_;
    bool stepping_ = false;
};

}  // namespace breezel
