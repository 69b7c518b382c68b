#include "Pop3Harness.h"

#include <gtest/gtest.h>

#include "ScriptedTransport.h"

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

int Pop3Harness::connectAndLogIn(int& handle) {
    handle = RunNow(lib().NMailPop3Connect(kHost));
    return RunNow(lib().NMailPop3Authenticate(handle, "taro", "secret", 0));
}

std::unique_ptr<Transport> Pop3Harness::create() {
    if (created_ == conversations_.size()) {
        add();
    }
    return std::make_unique<ScriptedTransport>(conversations_[created_++]);
}

}  // namespace breezel::pop3
