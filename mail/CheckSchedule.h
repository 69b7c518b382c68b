#pragma once

#include "common/Task.h"

namespace breezel {

class FormContext;
class MailCheck;

/// Automatic checks: a one-second tick counts seconds and minutes in the main window's counter
/// fields (a counted minute lasts 61 ticks), and a 100 ms poll starts a check when the minute
/// counter equals the interval set in the preferences.
class CheckSchedule {
public:
    CheckSchedule(FormContext& context, MailCheck& check) : context_(context), check_(check) {}

    /// The 100 ms poll: the check it starts, which its timer waits for (busy meanwhile), or no
    /// task when no check is due.
    Task<> poll();
    /// The one-second tick.
    void secondTick();

private:
    FormContext& context_;
    MailCheck& check_;
    // Set once the poll has started the check for the current minute count, so one counted
    // interval gives one check even when the check ends before the count moves on.
    bool checkedThisCount_ = false;
};

}  // namespace breezel
