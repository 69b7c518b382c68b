#pragma once

#include <string>
#include <string_view>

#include "common/Task.h"

namespace breezel {

/// The text before the first NUL character, or the whole text when it has none: how the
/// library's texts are read back.
std::string CutAtNul(std::string_view text);

class FormContext;

/// One complete look at the mailbox: connect, log in with the account file's ID and password,
/// walk every message, close; then start the mail program, or show the notice board and start
/// the alert when the mailbox holds mail; last, hang up dial-up lines when asked to.
class MailCheck {
public:
    explicit MailCheck(FormContext& context) : context_(context) {}

    /// Runs a check to its end, suspended while it waits for the server, a box or the board.
    /// A request while a check runs (from a timer or a click meanwhile) ends at once, so two
    /// checks never overlap.
    Task<> CheckMail();

private:
    Task<> checkMailbox();
    Task<> announce(int count);

    FormContext& context_;
    bool running_ = false;
};

}  // namespace breezel
