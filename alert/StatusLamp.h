#pragma once

#include "common/Task.h"

namespace breezel {

class FormContext;

/// The status lamp: steady green while checks are by hand only, green for two seconds then red
/// on every step while automatic checks are on.
class StatusLamp {
public:
    explicit StatusLamp(FormContext& context) : context_(context) {}

    /// One step, every second. In blink mode it waits two seconds between green and red; its
    /// timer is busy meanwhile, so the steps that fall due then are dropped, never nested nor
    /// delivered late (which would paint over the red at once).
    Task<> step();

private:
    /// Green, two seconds, red.
    Task<> blink();

    FormContext& context_;
};

}  // namespace breezel
