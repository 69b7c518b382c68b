#pragma once

namespace breezel {

class Program;

/// One complete look at the mailbox: connect, log in with the account file's ID and password,
/// walk every message, close; then start the mail program, or show the notice board and start
/// the alert when the mailbox holds mail; last, hang up dial-up lines when asked to.
class MailCheck {
public:
    explicit MailCheck(Program& program) : program_(program) {}

    /// Runs a check to its end. A request while a check runs (from a timer or a click handled
    /// during one of its waits) is ignored, so two checks never overlap.
    void CheckMail();
    bool running() const { return running_; }

private:
    void checkMailbox();
    void announce(int count);

    Program& program_;
    bool running_ = false;
};

}  // namespace breezel
