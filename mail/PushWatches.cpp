#include "mail/PushWatches.h"

#include <set>

#include "forms/FormContext.h"

namespace breezel {

PushWatches::PushWatches(FormContext& context, MailCheck& check)
    : context_(context), check_(check) {
    watches_[{}] = std::make_unique<PushWatch>(context_, check_);
}

void PushWatches::follow() {
    if (!following_) {
        following_ = true;
        watches_.at({})->follow();
        mailboxChanged_ = context_.mailboxChanged.connectScoped([this] { follow(); });
    }
    std::set<std::string> keys{{}};
    for (const net::Mailbox& mailbox : context_.furtherMailboxes()) {
        keys.insert(mailbox.key);
    }
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (keys.count(it->first) == 0) {
            it->second->stop();  // logged out before it goes
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
    // A watch follows the settings by itself once started: only new ones are started here.
    for (const std::string& key : keys) {
        auto& watch = watches_[key];
        if (!watch) {
            watch = std::make_unique<PushWatch>(context_, check_, key);
            if (paused_) {
                watch->pause();
            }
            watch->follow();
        }
    }
}

void PushWatches::stop() {
    for (auto& [key, watch] : watches_) {
        watch->stop();
    }
}

void PushWatches::pause() {
    paused_ = true;
    for (auto& [key, watch] : watches_) {
        watch->pause();
    }
}

void PushWatches::relink(bool forget) {
    paused_ = false;
    for (auto& [key, watch] : watches_) {
        watch->relink(forget);
    }
}

PushWatch* PushWatches::find(const std::string& key) {
    const auto found = watches_.find(key);
    return found == watches_.end() ? nullptr : found->second.get();
}

}  // namespace breezel
