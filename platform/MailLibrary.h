#pragma once

#include <string>

#include "common/Task.h"
#include "net/Credential.h"
#include "net/Mailbox.h"

namespace breezel {

/// The four text buffers that the status and retrieval calls fill (the check does not use them).
struct MailTexts {
    std::string h1;
    std::string h2;
    std::string h3;
    std::string h4;
};

/// The mail library's calls, with the results the mail check relies on. Results are 32-bit
/// integers; the start-up and shutdown calls' results are not relied on. Calls that talk to the
/// server are tasks: they suspend while they wait for it, within bounded times, and the event
/// loop runs on meanwhile. Arguments are taken by value, since a task may outlive its caller's
/// temporaries.
class MailLibrary {
public:
    virtual ~MailLibrary() = default;
    /// Prepares the network layer; called once at start-up.
    virtual int NMailInitializeWinSock() = 0;
    /// Sets one library option; start-up sets option 1 to 8192.
    virtual int NMailSetOption(int option, int value) = 0;
    /// Releases the network layer; called once at shutdown.
    virtual int NMailEndWinSock() = 0;

    /// Opens a connection to mailbox's server (its parsed address says which protocol, host,
    /// port and TLS); a handle, or -1 when no connection could be made.
    virtual Task<int> NMailPop3Connect(net::Mailbox mailbox) = 0;
    /// Logs in with credential (apop -1: APOP, 0: USER/PASS; POP3 only); the number of messages
    /// (> 0), 0 for an empty mailbox, below 0 on failure, whose text NMailGetMessage then gives.
    /// For IMAP the number is that of the unseen messages of INBOX and the mailbox's folders.
    virtual Task<int> NMailPop3Authenticate(int handle, std::string id, net::Credential credential,
                                            int apop) = 0;
    /// Reads the headers of message number (1-based) into texts, which must outlive the task;
    /// below 0 on failure.
    virtual Task<int> NMailPop3GetMailStatus(int handle, int number, MailTexts& texts,
                                             int flag) = 0;
    /// The size of message number in bytes; -1 on failure (never below -1).
    virtual Task<int> NMailPop3GetMailSize(int handle, int number) = 0;
    /// Retrieves message number; its body is read and discarded as it streams, never held.
    virtual Task<int> NMailPop3GetMail(int handle, int number, MailTexts& texts, int flag1,
                                       int flag2) = 0;
    /// Ends the connection (QUIT) and frees the handle.
    virtual Task<int> NMailPop3Close(int handle) = 0;
    /// Whether the connection behind handle still works. False once the link broke or the
    /// server hung up: from then on every message call fails at once, so a caller walking the
    /// messages can stop.
    virtual bool NMailPop3Connected(int handle) = 0;
    /// Whether the last login on handle failed because the server refused the credentials (a
    /// wrong password, a refused token) rather than for the link or the protocol.
    virtual bool loginRefused(int handle) = 0;
    /// Whether the login's number is all a check learns of the mailbox behind handle (IMAP): its
    /// messages are then neither walked nor read. False for POP3, whose check reads each one.
    virtual bool countsOnly(int handle) = 0;
    /// The text of the last failure.
    virtual std::string NMailGetMessage(int code) = 0;
};

}  // namespace breezel
