// The POP3 engine against a server whose every byte is the fuzz input: a whole mail check
// (connect, log in, headers, size and retrieval of every message while the session lasts,
// close) never crashes, never waits and never allocates without bound. However many messages
// the server claims, the walk ends soon after the input does: a read past its end breaks the
// session, and the check stops walking once the session is broken.
//
// Input: the server's byte stream from the greeting on, handed out a line (up to LF) per read
// whatever the client wrote. At its end the server drops the connection when the input's size
// is even and falls silent (every read times out at once) when it is odd; bit 1 of the size
// asks for APOP instead of USER/PASS, and bit 8 names the server with ;AUTH=* so that the login
// is an OAuth2 token's by AUTH (XOAUTH2 or OAUTHBEARER, as the input's CAPA offers them). Bit 8
// is the lowest that no seed of a password login has set.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "StreamTransport.h"
#include "pop3/Pop3MailLibrary.h"

namespace {

using namespace breezel::pop3;
using breezel::fuzz::Finish;
using breezel::fuzz::StreamTransport;

class OneStream : public TransportFactory {
public:
    OneStream(std::string_view stream, bool dropAtEnd) : stream_(stream), dropAtEnd_(dropAtEnd) {}
    std::unique_ptr<Transport> create() override {
        // One connection per input: a second would replay bytes the first already used.
        if (used_) {
            return std::make_unique<StreamTransport>(std::string_view(), true);
        }
        used_ = true;
        return std::make_unique<StreamTransport>(stream_, dropAtEnd_);
    }

private:
    std::string_view stream_;
    bool dropAtEnd_;
    bool used_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    OneStream transports(stream, size % 2 == 0);
    // The program's own limits: what a real check would do with these bytes.
    breezel::Pop3MailLibrary lib(transports);
    lib.NMailInitializeWinSock();
    lib.NMailSetOption(1, 8192);
    const bool bearer = (size & 256) != 0;
    const int handle = Finish(lib.NMailPop3Connect(
        breezel::net::MailboxAt(bearer ? "pop3://;AUTH=*@pop.example.jp" : "pop.example.jp")));
    if (handle != -1) {
        const int count = Finish(lib.NMailPop3Authenticate(
            handle, "taro",
            breezel::net::Credential::ofPassword(bearer ? "ya29.token" : "秘密のpass"),
            (size & 2) != 0 ? -1 : 0));
        // As the mail check does: each call whatever the one before returned.
        breezel::MailTexts texts;
        for (int n = 1; n <= count && lib.NMailPop3Connected(handle); ++n) {
            Finish(lib.NMailPop3GetMailStatus(handle, n, texts, 0));
            if (Finish(lib.NMailPop3GetMailSize(handle, n)) < -1) {
                __builtin_trap();  // the size's contract: -1 on failure, never below
            }
            Finish(lib.NMailPop3GetMail(handle, n, texts, 0, 0));
        }
        lib.NMailGetMessage(0);
        Finish(lib.NMailPop3Close(handle));
    }
    lib.NMailEndWinSock();
    return 0;
}
