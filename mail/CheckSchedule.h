#pragma once

#include "common/Task.h"
#include "controls/Signal.h"

namespace breezel {

class FormContext;
class MailCheck;
class Form;

/// Automatic checks: a one-second tick counts seconds and minutes in the main window's counter
/// fields (a counted minute lasts 61 ticks), and a 100 ms poll starts a check when the minute
/// counter equals the interval set in the preferences.
class CheckSchedule {
public:
    CheckSchedule(FormContext& context, MailCheck& check);

    /// The 100 ms poll: the check it starts, which its timer waits for (busy meanwhile), or no
    /// task when no check is due. Finding none, it lets its timer rest until one of what it
    /// reads changes: the minute counter, the interval, the flag, the preferences dialog.
    Task<> poll();
    /// The one-second tick.
    void secondTick();
    /// A check stood in for the interval's (after a wake): the interval counts from now.
    void restartCount();

private:
    void watch(Form& form);
    /// Something the poll reads changed: its timer ticks on time again.
    void wakePoll();

    FormContext& context_;
    MailCheck& check_;
    ScopedConnection formCreated_;
    ScopedConnection counterChanged_;
    ScopedConnection intervalChanged_;
    ScopedConnection preferencesGone_;
    // Set once the poll has started the check for the current minute count, so one counted
    // interval gives one check even when the check ends before the count moves on.
    bool checkedThisCount_ = false;
};

}  // namespace breezel
