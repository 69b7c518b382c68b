#pragma once

#include <map>
#include <string>

#include "platform/MailLibrary.h"

namespace breezel {

/// Our mail library as the check sees it: the POP3 and the IMAP engine behind the one
/// interface. Each connection goes to the engine its server name asks for (imap:// and imaps://
/// to IMAP, every other name to POP3, which also judges names that are not usable), and every
/// later call on its handle to the same engine.
class MailEngines : public MailLibrary {
public:
    MailEngines(MailLibrary& pop3, MailLibrary& imap);

    int NMailInitializeWinSock() override;
    int NMailSetOption(int option, int value) override;
    int NMailEndWinSock() override;
    Task<int> NMailPop3Connect(net::Mailbox mailbox) override;
    Task<int> NMailPop3Authenticate(int handle, std::string id, net::Credential credential,
                                    int apop) override;
    Task<int> NMailPop3GetMailStatus(int handle, int number, MailTexts& texts, int flag) override;
    Task<int> NMailPop3GetMailSize(int handle, int number) override;
    Task<int> NMailPop3GetMail(int handle, int number, MailTexts& texts, int flag1,
                               int flag2) override;
    Task<int> NMailPop3Close(int handle) override;
    bool NMailPop3Connected(int handle) override;
    bool countsOnly(int handle) override;
    bool loginRefused(int handle) override;
    std::string NMailGetMessage(int code) override;

private:
    /// A connection: the engine that holds it and the engine's own handle.
    struct Route {
        MailLibrary* engine;
        int handle;
    };
    /// The route of handle, which the call then reports its failure through; none for an
    /// unknown handle, whose calls go to POP3 to fail there with its text.
    Route route(int handle);

    MailLibrary& pop3_;
    MailLibrary& imap_;
    std::map<int, Route> routes_;
    int lastHandle_ = 0;
    // The engine of the last call: its failure text is the one the caller asks for.
    MailLibrary* last_;
};

}  // namespace breezel
