#pragma once

#include <string>

#include "alert/Alert.h"
#include "alert/StatusLamp.h"
#include "forms/FormContext.h"
#include "mail/Awake.h"
#include "mail/CheckSchedule.h"
#include "mail/MailCheck.h"
#include "mail/PushWatches.h"

namespace breezel {

class MainForm;

/// The running program: the forms and what they share (the context), the controllers that
/// react to them, and the one place where the forms' timers and buttons meet those controllers.
class Program : public FormContext {
public:
    /// programFolder: the folder of the executable, without a trailing separator.
    Program(Services services, std::string programFolder);
    ~Program();

    /// Creates the main window, wires it and runs its load step: the whole start-up.
    void start();

    MailCheck& mailCheck() { return mailCheck_; }
    CheckSchedule& schedule() { return schedule_; }
    /// The first mailbox's push watch.
    PushWatch& push() { return pushes_.first(); }
    PushWatches& pushes() { return pushes_; }
    Alert& alert() { return alert_; }
    StatusLamp& lamp() { return lamp_; }

private:
    void wire(MainForm& main);

    MailCheck mailCheck_{*this};
    CheckSchedule schedule_{*this, mailCheck_};
    PushWatches pushes_{*this, mailCheck_};
    Awake awake_{*this, mailCheck_, schedule_, pushes_};
    Alert alert_{*this};
    StatusLamp lamp_{*this};
};

}  // namespace breezel
