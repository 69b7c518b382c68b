#include "platform/pop3/Pop3MailLibrary.h"

namespace breezel {

int Pop3MailLibrary::NMailInitializeWinSock() {
    initialized_ = true;
    return 1;
}

int Pop3MailLibrary::NMailSetOption(int option, int value) {
    options_[option] = value;
    return 1;
}

int Pop3MailLibrary::NMailEndWinSock() {
    initialized_ = false;
    return 1;
}

int Pop3MailLibrary::option(int option) const {
    const auto it = options_.find(option);
    return it == options_.end() ? 0 : it->second;
}

}  // namespace breezel
