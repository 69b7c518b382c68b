#pragma once

#include <map>

#include "platform/MailLibrary.h"

namespace breezel {

/// Our mail library: a POP3 client. Sockets need no global set-up on this platform, so the
/// start-up and shutdown calls only track the library's state and options.
class Pop3MailLibrary : public MailLibrary {
public:
    int NMailInitializeWinSock() override;
    int NMailSetOption(int option, int value) override;
    int NMailEndWinSock() override;

    /// The value last set for an option, 0 when never set.
    int option(int option) const;
    bool initialized() const { return initialized_; }

private:
    bool initialized_ = false;
    std::map<int, int> options_;
};

}  // namespace breezel
