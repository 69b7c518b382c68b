#pragma once

// The IMAP library and push over scripted servers, with the shorthands the IMAP tests share. The
// harness is the transport factory: the n-th connection plays the n-th conversation. Byte
// limits are shrunk so that hostile cases stay small; time limits are the program's own, since
// time is simulated. The library and the push session are built on first use, so a test may
// change limits before that.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "imap/ImapLimits.h"
#include "imap/ImapMailLibrary.h"
#include "net/Conversation.h"
#include "platform/MailPush.h"

namespace breezel::imap {

using net::Conversation;

/// Runs a call to its end and gives its result. A scripted server never makes the client wait
/// in real time, so a call that suspends fails the test.
template <typename T>
T RunNow(Task<T> call) {
    call.start();
    if (!call.done()) {
        ADD_FAILURE() << "the call waited for an event that a scripted server never sends";
        return T{};
    }
    return call.result();
}

/// A library, a push session, their scripted connections and shorthands.
class ImapHarness : public TransportFactory {
public:
    /// This machine: a plain connection may carry the password there.
    static constexpr const char* kServer = "imap://localhost";
    /// LOGIN as taro with password secret, pipelined with what follows it.
    static constexpr const char* kLogin = "a1 LOGIN \"taro\" \"secret\"\r\n";

    ImapHarness();
    /// Fails the test if any client went against its script.
    ~ImapHarness() override;

    /// The conversation of the first connection.
    Conversation& talk() { return conversations_.front(); }
    /// How many connections were asked for.
    std::size_t created() const { return created_; }
    ImapMailLibrary& lib();
    PushSession& push();

    /// The first server sends bytes.
    void server(std::string bytes) { talk().server(std::move(bytes)); }
    /// The client must write bytes next to the first server.
    void client(std::string bytes) { talk().client(std::move(bytes)); }
    /// The greeting, with capabilities in its code.
    void greet(const std::string& capabilities = "IMAP4rev1 IDLE");
    /// Greeting, LOGIN with the STATUS behind it, and their answers: count unseen.
    void scriptCheck(int count);
    /// Greeting, LOGIN with CAPABILITY (answered with capabilities) and EXAMINE behind it, and
    /// INBOX holding exists messages, UIDVALIDITY 1700 and UIDNEXT 42.
    void scriptWatching(int exists, const std::string& capabilities = "IMAP4rev1 IDLE");
    /// Connects to kServer and logs in as taro/secret; the login's value.
    int check();
    /// Opens push on kServer as taro/secret.
    PushOpened open(const std::string& server = kServer);
    /// The library's last failure text.
    std::string message() { return lib().NMailGetMessage(0); }

    std::unique_ptr<Transport> create() override;

    ImapLimits limits;

private:
    std::deque<Conversation> conversations_;  // a deque keeps references stable
    std::size_t created_ = 0;
    std::unique_ptr<ImapMailLibrary> lib_;
    std::unique_ptr<PushSession> push_;
};

}  // namespace breezel::imap
