#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imap/ImapLimits.h"
#include "net/CallResult.h"
#include "net/Transport.h"
#include "platform/MailLibrary.h"

namespace breezel {

namespace imap {
class ImapSession;
}  // namespace imap

/// The mail library for IMAP servers (imap:// and imaps:// names): a check logs in and counts
/// the unseen messages of INBOX and the mailbox's folders (STATUS), reading no message, so the
/// message calls fail at once.
/// For a name with ;AUTH= the password is an OAuth2 access token.
/// Plain C++ over a byte-stream transport. The library must outlive the tasks of its calls; the
/// calls on one handle run one at a time.
class ImapMailLibrary : public MailLibrary {
public:
    explicit ImapMailLibrary(net::TransportFactory& transports, imap::ImapLimits limits = {});
    ~ImapMailLibrary() override;

    int NMailInitializeWinSock() override;
    int NMailSetOption(int option, int value) override;
    int NMailEndWinSock() override;
    /// Connects to an imap:// or imaps:// server and reads its greeting.
    Task<int> NMailPop3Connect(net::Mailbox mailbox) override;
    /// Logs in and gives the number of unseen messages in INBOX and the folders the connected
    /// mailbox names (apop is POP3's and ignored); the credential is a token for a bearer name.
    Task<int> NMailPop3Authenticate(int handle, std::string id, net::Credential credential,
                                    int apop) override;
    /// The message calls send nothing and fail: an IMAP check reads no message.
    Task<int> NMailPop3GetMailStatus(int handle, int number, MailTexts& texts, int flag) override;
    Task<int> NMailPop3GetMailSize(int handle, int number) override;
    Task<int> NMailPop3GetMail(int handle, int number, MailTexts& texts, int flag1,
                               int flag2) override;
    /// Logs out without waiting for the answer (ImapLimits::logoutTimeout) and frees the handle.
    Task<int> NMailPop3Close(int handle) override;
    bool NMailPop3Connected(int handle) override;
    bool loginRefused(int handle) override;
    bool countsOnly(int) override { return true; }
    std::string NMailGetMessage(int code) override;

private:
    imap::ImapSession* find(int handle);
    Task<int> refuseMessageCall(int handle);
    int report(const net::CallResult& result);
    int fail(std::string text);
    int newHandle() const;

    net::TransportFactory& transports_;
    imap::ImapLimits limits_;
    std::map<int, std::unique_ptr<imap::ImapSession>> sessions_;
    std::map<int, std::vector<std::string>> folders_;  // counted with INBOX, per handle
    int lastHandle_ = 0;
    std::string lastFailure_;
};

}  // namespace breezel
