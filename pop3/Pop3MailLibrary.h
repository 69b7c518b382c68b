#pragma once

#include <map>
#include <memory>
#include <string>

#include "net/CallResult.h"
#include "net/Transport.h"
#include "platform/MailLibrary.h"
#include "pop3/Pop3Limits.h"

namespace breezel {

namespace pop3 {
class Pop3Connection;
}  // namespace pop3

/// Our mail library: a POP3 client (RFC 1939, CAPA and PIPELINING of RFC 2449, STLS of RFC 2595,
/// APOP; for a name with ;AUTH= an OAuth2 token by AUTH, RFC 5034) over a byte-stream transport.
/// Plain C++; the transport brings sockets and TLS. The library must outlive the tasks of its
/// calls; the calls on one handle run one at a time.
class Pop3MailLibrary : public MailLibrary {
public:
    explicit Pop3MailLibrary(net::TransportFactory& transports, pop3::Pop3Limits limits = {});
    ~Pop3MailLibrary() override;

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
    bool countsOnly(int) override { return false; }
    bool loginRefused(int handle) override;
    std::string NMailGetMessage(int code) override;

private:
    pop3::Pop3Connection* find(int handle);
    int report(const net::CallResult& result);
    int fail(std::string text);
    int newHandle() const;

    net::TransportFactory& transports_;
    pop3::Pop3Limits limits_;
    std::map<int, std::unique_ptr<pop3::Pop3Connection>> connections_;
    int lastHandle_ = 0;
    std::string lastFailure_;
};

}  // namespace breezel
