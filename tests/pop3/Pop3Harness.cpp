#include "Pop3Harness.h"

namespace breezel::pop3 {

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
    const int handle = RunNow(lib().NMailPop3Connect(net::MailboxAt(kHost)));
    EXPECT_EQ(RunNow(lib().NMailPop3Authenticate(handle, "taro",
                                                 net::Credential::ofPassword("secret"), 0)),
              count);
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
    EXPECT_EQ(RunNow(lib().NMailPop3Authenticate(handle, "taro",
                                                 net::Credential::ofPassword("secret"), 0)),
              -1);
    EXPECT_EQ(message(), text);
    expectRefused(handle, text, n);
    EXPECT_EQ(talk().sent(), sent);
    EXPECT_EQ(talk().reads(), reads);
}

std::unique_ptr<Transport> Pop3Harness::create() {
    if (created_ == conversations_.size()) {
        add();
    }
    return conversations_[created_++].transport();
}

}  // namespace breezel::pop3
