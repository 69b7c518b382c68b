// The IMAP engine against a server whose every byte is the fuzz input: a whole check (connect,
// log in and count, the message calls, close) and then a push connection over the same bytes
// (open, a few waits for news each followed by a count, close) never crash, never wait and
// never allocate without bound.
//
// Input: the server's byte stream from the greeting on, handed out a line (up to LF) per read
// whatever the client wrote; each of the two connections plays it from its start. At its end the
// server drops the connection when the input's size is even and falls silent (every read times
// out at once, which in IDLE is the keep-alive's turn) when it is odd. Bit 1 of the size gives
// credentials of 8-bit characters, which LOGIN sends as literals; bit 2 names an imaps:// server;
// bit 9 names it with ;AUTH=*, so that the login is an OAuth2 token's by AUTHENTICATE (XOAUTH2
// or OAUTHBEARER, as the input's capabilities offer them). Bit 9 is the lowest that no seed of a
// password login has set. Bit 3 names two folders besides INBOX, counted by STATUS and watched
// by NOTIFY where the input offers it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "StreamTransport.h"
#include "imap/ImapMailLibrary.h"
#include "imap/ImapPush.h"

namespace {

using breezel::fuzz::Finish;

class SameStream : public breezel::net::TransportFactory {
public:
    SameStream(std::string_view stream, bool dropAtEnd) : stream_(stream), dropAtEnd_(dropAtEnd) {}
    std::unique_ptr<breezel::net::Transport> create() override {
        return std::make_unique<breezel::fuzz::StreamTransport>(stream_, dropAtEnd_);
    }

private:
    std::string_view stream_;
    bool dropAtEnd_;
};

void Check(SameStream& transports, const breezel::net::Mailbox& mailbox,
           const std::string& password) {
    breezel::ImapMailLibrary lib(transports);
    lib.NMailInitializeWinSock();
    const int handle = Finish(lib.NMailPop3Connect(mailbox));
    if (handle != -1) {
        if (Finish(lib.NMailPop3Authenticate(
                handle, mailbox.id, breezel::net::Credential::ofPassword(password), 0)) < -1) {
            __builtin_trap();  // a count, or -1
        }
        breezel::MailTexts texts;
        if (Finish(lib.NMailPop3GetMailStatus(handle, 1, texts, 0)) != -1 ||
            Finish(lib.NMailPop3GetMailSize(handle, 1)) != -1) {
            __builtin_trap();  // an IMAP check reads no message
        }
        lib.NMailGetMessage(0);
        Finish(lib.NMailPop3Close(handle));
    }
    lib.NMailEndWinSock();
}

void Push(SameStream& transports, const breezel::net::Mailbox& mailbox,
          const std::string& password) {
    breezel::ImapPush push(transports);
    const std::unique_ptr<breezel::PushSession> session = push.create();
    const breezel::PushOpened opened =
        Finish(session->open(mailbox, breezel::net::Credential::ofPassword(password)));
    if (opened.result == breezel::PushOpened::Result::Watching) {
        for (int i = 0; i < 4; ++i) {
            if (Finish(session->waitForNews()) != breezel::PushNews::NewMail) {
                break;
            }
            if (Finish(session->countUnseen()) < -1) {
                __builtin_trap();
            }
        }
    }
    session->close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    SameStream transports(stream, size % 2 == 0);
    std::string server = (size & 4) != 0 ? "imaps://" : "imap://";
    const bool bearer = (size & 512) != 0;
    if (bearer) {
        server += ";AUTH=*@";
    }
    // This machine: a plain connection elsewhere would stop before the login without STARTTLS.
    server += "localhost";
    const bool wide = (size & 2) != 0;
    const std::string id = wide ? "たろう" : "taro";
    const std::string password = bearer ? "ya29.token" : wide ? "秘密のpass" : "secret";
    // The program's own limits: what a real check and a real push would do with these bytes.
    breezel::net::Mailbox mailbox = breezel::net::MailboxAt(server, id);
    if ((size & 8) != 0) {
        mailbox.folders = {"仕事", "Lists/ruby"};
    }
    Check(transports, mailbox, password);
    Push(transports, mailbox, password);
    return 0;
}
