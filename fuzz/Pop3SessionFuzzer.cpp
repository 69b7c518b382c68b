// The POP3 engine against a server whose every byte is the fuzz input: a whole mail check
// (connect, log in, headers, size and retrieval of every message while the session lasts,
// close) never crashes, never waits and never allocates without bound. However many messages
// the server claims, the walk ends soon after the input does: a read past its end breaks the
// session, and the check stops walking once the session is broken.
//
// Input: the server's byte stream from the greeting on, handed out a line (up to LF) per read
// whatever the client wrote. At its end the server drops the connection when the input's size
// is even and falls silent (every read times out at once) when it is odd; bit 1 of the size
// asks for APOP instead of USER/PASS, so that both logins are explored.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pop3/Pop3MailLibrary.h"

namespace {

using namespace breezel::pop3;
using breezel::Task;

class StreamTransport : public Transport {
public:
    StreamTransport(std::string_view stream, bool dropAtEnd)
        : rest_(stream), dropAtEnd_(dropAtEnd) {}

    Task<TransportStatus> connect(std::string, std::uint16_t, bool, std::chrono::milliseconds,
                                  Pace&) override {
        co_return TransportStatus{};
    }
    TransportStatus write(std::string_view) override {
        return closed_ ? TransportStatus{TransportCode::Closed, {}} : TransportStatus{};
    }
    Task<TransportStatus> readLine(std::string& line, std::size_t maxBytes,
                                   std::chrono::milliseconds, Pace&) override {
        co_return next(line, maxBytes);
    }
    Task<TransportStatus> startTls(std::string, std::chrono::milliseconds) override {
        // The handshake succeeds; later lines play the part of what came over TLS.
        co_return closed_ ? TransportStatus{TransportCode::Closed, {}} : TransportStatus{};
    }
    void close() override { closed_ = true; }

private:
    TransportStatus next(std::string& line, std::size_t maxBytes) {
        if (closed_) {
            return {TransportCode::Closed, {}};
        }
        const std::size_t lf = rest_.find('\n');
        const std::size_t length = lf == std::string_view::npos ? rest_.size() : lf + 1;
        if (length > maxBytes) {
            line.assign(rest_.substr(0, maxBytes));
            rest_.remove_prefix(maxBytes);
            return {TransportCode::LineTooLong, {}};
        }
        if (lf == std::string_view::npos) {
            // What is left never gets its line end: the connection ends here.
            return {dropAtEnd_ ? TransportCode::Closed : TransportCode::Timeout, {}};
        }
        line.assign(rest_.substr(0, length));
        rest_.remove_prefix(length);
        return {};
    }

    std::string_view rest_;
    bool dropAtEnd_;
    bool closed_ = false;
};

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

// Runs a call to its end: nothing in this transport waits, so a call that suspends is a fault.
int Finish(breezel::Task<int> call) {
    call.start();
    if (!call.done()) {
        __builtin_trap();
    }
    return call.result();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    OneStream transports(stream, size % 2 == 0);
    // The program's own limits: what a real check would do with these bytes.
    breezel::Pop3MailLibrary lib(transports);
    lib.NMailInitializeWinSock();
    lib.NMailSetOption(1, 8192);
    const int handle = Finish(lib.NMailPop3Connect("pop.example.jp"));
    if (handle != -1) {
        const int count = Finish(
            lib.NMailPop3Authenticate(handle, "taro", "秘密のpass", (size & 2) != 0 ? -1 : 0));
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
