#pragma once

// One mail library over scripted servers, with the shorthands the protocol tests share. The
// harness is the library's transport factory: the n-th connection plays the n-th conversation.
// Byte limits are shrunk so that hostile cases stay small; time limits are the program's own,
// since time is simulated. The library is built on first use, so a test may change limits
// before that.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "net/Conversation.h"
#include "pop3/Pop3Limits.h"
#include "pop3/Pop3MailLibrary.h"

namespace breezel::pop3 {

using net::Conversation;

/// Runs a call of the library to its end and gives its result. A scripted server never makes
/// the client wait in real time, so a call that suspends fails the test.
int RunNow(Task<int> call);

/// A library, its scripted connections and shorthands for scripting and asserting.
class Pop3Harness : public TransportFactory {
public:
    static constexpr const char* kHost = "pop.example.jp";

    Pop3Harness();
    /// Fails the test if any client went against its script.
    ~Pop3Harness() override;

    /// The conversation of the first connection.
    Conversation& talk() { return conversations_.front(); }
    /// A conversation for the next connection after those already added.
    Conversation& add() { return conversations_.emplace_back(); }
    /// How many connections the library asked for.
    std::size_t created() const { return created_; }
    /// The library, built with limits at first use.
    Pop3MailLibrary& lib();

    /// The first server sends bytes.
    void server(std::string bytes) { talk().server(std::move(bytes)); }
    /// The client must write bytes next to the first server.
    void client(std::string bytes) { talk().client(std::move(bytes)); }
    /// Scripts greeting, CAPA answered with capabilities ("" for -ERR), USER taro / PASS secret.
    void scriptLogin(const std::string& capabilities = "");
    /// Scripts a login whose STAT answers count.
    void scriptLoggedIn(int count, const std::string& capabilities = "");
    /// Connects to kHost and logs in as taro/secret, expecting the login to give count; the
    /// handle.
    int logIn(int count);
    /// The last failure text.
    std::string message() { return lib().NMailGetMessage(0); }
    /// Every call about message n on handle fails at once with text: nothing is sent and
    /// nothing read.
    void expectRefused(int handle, const std::string& text, int n = 1);
    /// As expectRefused, and the handle is no longer connected and a login fails likewise.
    void expectDead(int handle, const std::string& text, int n = 1);

    /// Hands out the next conversation's transport (an unscripted one past the last).
    std::unique_ptr<Transport> create() override;

    Pop3Limits limits;

private:
    std::deque<Conversation> conversations_;  // a deque keeps references stable
    std::size_t created_ = 0;
    std::unique_ptr<Pop3MailLibrary> lib_;
};

/// A test with one harness.
class Pop3Test : public ::testing::Test {
protected:
    Pop3Harness h;
    MailTexts texts;
};

}  // namespace breezel::pop3
