#pragma once

#include <map>
#include <string>

namespace breezel {

class MessageBox;

/// The one "エラー" box of the checks of several mailboxes: failures of one check share it, each
/// line naming its mailbox; while it is open no second box opens. Failures that come meanwhile
/// wait for it to close, but an automatic check's failure that the open box already shows (the
/// same mailbox, the same text) is not told again.
class FailureBox {
public:
    explicit FailureBox(MessageBox& messages) : messages_(messages) {}

    /// Tells failures (the mailbox's name → its text), now or once the open box closes.
    /// byHand: the user asked, so even a failure the open box shows is told again after it.
    void tell(const std::map<std::string, std::string>& failures, bool byHand);
    /// Whether a box is open.
    bool open() const { return !shown_.empty(); }

private:
    void show(std::map<std::string, std::string> failures);

    MessageBox& messages_;
    std::map<std::string, std::string> shown_;
    std::map<std::string, std::string> waiting_;
};

}  // namespace breezel
