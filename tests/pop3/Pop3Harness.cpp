#include "Pop3Harness.h"

namespace breezel::pop3 {

namespace {

// The transport the engine owns, playing a conversation that the test owns and examines after
// the engine has let go of the transport. Its tasks never suspend: the time is simulated.
class ScriptedTransport : public Transport {
public:
    explicit ScriptedTransport(Conversation& conversation) : talk_(conversation) {}

    Task<TransportStatus> connect(std::string host, std::uint16_t port, bool tls,
                                  std::chrono::milliseconds, Pace& pace) override {
        co_return talk_.connect(host, port, tls, pace);
    }
    TransportStatus write(std::string_view bytes) override { return talk_.write(bytes); }
    Task<TransportStatus> readLine(std::string& line, std::size_t maxBytes,
                                   std::chrono::milliseconds timeout, Pace& pace) override {
        co_return talk_.readLine(line, maxBytes, timeout, pace);
    }
    Task<TransportStatus> startTls(std::string host, std::chrono::milliseconds) override {
        co_return talk_.startTls(host);
    }
    void close() override { talk_.close(); }

private:
    Conversation& talk_;
};

}  // namespace

int RunNow(Task<int> call) {
    call.start();
    if (!call.done()) {
        ADD_FAILURE() << "the call waited for an event that a scripted server never sends";
        return -100;
    }
    return call.result();
}

Pop3Harness::Pop3Harness() {
    add();
    limits.quitTimeout = std::chrono::milliseconds(30);
    limits.maxLineBytes = 1024;
    limits.maxListLines = 50;
    limits.maxMessageBytes = 64 * 1024;
    limits.pipelineWindow = 4;
}

Pop3Harness::~Pop3Harness() {
    for (const Conversation& conversation : conversations_) {
        EXPECT_EQ(conversation.deviation(), "");
    }
}

Pop3MailLibrary& Pop3Harness::lib() {
    if (!lib_) {
        lib_ = std::make_unique<Pop3MailLibrary>(*this, limits);
    }
    return *lib_;
}

void Pop3Harness::scriptLogin(const std::string& capabilities) {
    server("+OK POP3 ready\r\n");
    client("CAPA\r\n");
    server(capabilities.empty() ? "-ERR unknown command\r\n" : "+OK\r\n" + capabilities + ".\r\n");
    client("USER taro\r\n");
    server("+OK\r\n");
    client("PASS secret\r\n");
    server("+OK logged in\r\n");
}

void Pop3Harness::scriptLoggedIn(int count, const std::string& capabilities) {
    scriptLogin(capabilities);
    client("STAT\r\n");
    server("+OK " + std::to_string(count) + " 1000\r\n");
}

int Pop3Harness::logIn(int count) {
    const int handle = RunNow(lib().NMailPop3Connect(kHost));
    EXPECT_EQ(RunNow(lib().NMailPop3Authenticate(handle, "taro", "secret", 0)), count);
    return handle;
}

void Pop3Harness::expectRefused(int handle, const std::string& text, int n) {
    const std::string sent = talk().sent();
    const int reads = talk().reads();
    MailTexts texts;
    EXPECT_EQ(RunNow(lib().NMailPop3GetMailStatus(handle, n, texts, 0)), -1);
    EXPECT_EQ(message(), text);
    EXPECT_EQ(RunNow(lib().NMailPop3GetMailSize(handle, n)), -1);
    EXPECT_EQ(message(), text);
    EXPECT_EQ(RunNow(lib().NMailPop3GetMail(handle, n, texts, 0, 0)), -1);
    EXPECT_EQ(message(), text);
    EXPECT_EQ(talk().sent(), sent);
    EXPECT_EQ(talk().reads(), reads);
}

void Pop3Harness::expectDead(int handle, const std::string& text, int n) {
    const std::string sent = talk().sent();
    const int reads = talk().reads();
    EXPECT_FALSE(lib().NMailPop3Connected(handle));
    EXPECT_EQ(RunNow(lib().NMailPop3Authenticate(handle, "taro", "secret", 0)), -1);
    EXPECT_EQ(message(), text);
    expectRefused(handle, text, n);
    EXPECT_EQ(talk().sent(), sent);
    EXPECT_EQ(talk().reads(), reads);
}

std::unique_ptr<Transport> Pop3Harness::create() {
    if (created_ == conversations_.size()) {
        add();
    }
    return std::make_unique<ScriptedTransport>(conversations_[created_++]);
}

}  // namespace breezel::pop3
