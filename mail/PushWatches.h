#pragma once

#include <map>
#include <memory>
#include <string>

#include "controls/Signal.h"
#include "mail/PushWatch.h"

namespace breezel {

class FormContext;
class MailCheck;

/// Push for every mailbox: one watch (one connection, its own back-off and keep-alive) for the
/// first mailbox and one for each further mailbox in its file; each decides for itself whether
/// its mailbox is watched. Watches come and go as the mailboxes' file changes.
class PushWatches {
public:
    PushWatches(FormContext& context, MailCheck& check);

    /// Makes the watches the settings ask for and lets each follow them; from the first call on
    /// they follow every change.
    void follow();
    /// The program ends: every connection logs out.
    void stop();
    /// Every watch pauses (PushWatch::pause), also those made meanwhile, until relink().
    void pause();
    /// Every watch makes its connection again (PushWatch::relink).
    void relink(bool forget);
    /// The first mailbox's watch.
    PushWatch& first() { return *watches_.at({}); }
    /// The watch of the mailbox named key, or none.
    PushWatch* find(const std::string& key);

private:
    FormContext& context_;
    MailCheck& check_;
    std::map<std::string, std::unique_ptr<PushWatch>> watches_;
    ScopedConnection mailboxChanged_;
    bool following_ = false;
    bool paused_ = false;
};

}  // namespace breezel
