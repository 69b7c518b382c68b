#pragma once

namespace breezel {

/// The mail library's calls. Results are 32-bit integers; the start-up and shutdown calls'
/// results are not relied on.
class MailLibrary {
public:
    virtual ~MailLibrary() = default;
    /// Prepares the network layer; called once at start-up.
    virtual int NMailInitializeWinSock() = 0;
    /// Sets one library option; start-up sets option 1 to 8192.
    virtual int NMailSetOption(int option, int value) = 0;
    /// Releases the network layer; called once at shutdown.
    virtual int NMailEndWinSock() = 0;
};

}  // namespace breezel
