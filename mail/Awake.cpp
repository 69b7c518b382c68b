#include "mail/Awake.h"

#include <utility>

#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "mail/CheckSchedule.h"
#include "mail/MailCheck.h"
#include "mail/PushWatches.h"
#include "platform/Services.h"

namespace breezel {

Awake::Awake(FormContext& context, MailCheck& check, CheckSchedule& schedule, PushWatches& pushes)
    : context_(context), check_(check), schedule_(schedule), pushes_(pushes) {}

void Awake::follow() {
    SystemEvents& system = context_.services().system;
    network_ = system.network();
    sleeping_ = system.sleeping.connectScoped([this](SleepDelay delay) { sleeping(delay); });
    woke_ = system.woke.connectScoped([this] { woke(); });
    networkChanged_ = system.networkChanged.connectScoped([this] { networkChanged(); });
    if (!online()) {
        pushes_.pause();
    }
}

bool Awake::online() const {
    return !asleep_ && network_.reach != NetworkState::Reach::Down;
}

void Awake::sleeping(const SleepDelay&) {
    asleep_ = true;
    // The connections log out here and now: sleep may come as soon as this returns.
    pushes_.pause();
}

void Awake::woke() {
    asleep_ = false;
    catchUp_ = true;
    network_ = context_.services().system.network();
    // A sleep that came unannounced left its connections behind: they are dead now.
    pushes_.pause();
    if (online()) {
        relink();
    }
}

void Awake::networkChanged() {
    const NetworkState was = network_;
    network_ = context_.services().system.network();
    if (asleep_) {
        return;
    }
    if (!online()) {
        pushes_.pause();
    } else if (was.reach == NetworkState::Reach::Down ||
               (was.reach == NetworkState::Reach::Up && was.link != network_.link)) {
        relink();
    }
}

void Awake::relink() {
    const bool catchUp = std::exchange(catchUp_, false);
    // After a wake the check below tells of what came meanwhile; the watches must not too.
    pushes_.relink(catchUp);
    if (catchUp && context_.hasMainForm() && context_.mainForm().Check3.value() == 1) {
        schedule_.restartCount();
        context_.spawn(check_.CheckMail());
    }
}

}  // namespace breezel
