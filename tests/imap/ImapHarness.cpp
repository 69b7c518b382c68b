#include "ImapHarness.h"

#include "imap/ImapPush.h"

namespace breezel::imap {

ImapHarness::ImapHarness() {
    conversations_.emplace_back();
    limits.maxLineBytes = 1024;
    limits.maxLiteralBytes = 256;
    limits.maxResponseBytes = 2048;
}

ImapHarness::~ImapHarness() {
    push_.reset();
    lib_.reset();
    for (const Conversation& conversation : conversations_) {
        EXPECT_EQ(conversation.deviation(), "");
    }
}

ImapMailLibrary& ImapHarness::lib() {
    if (!lib_) {
        lib_ = std::make_unique<ImapMailLibrary>(*this, limits);
    }
    return *lib_;
}

PushSession& ImapHarness::push() {
    if (!push_) {
        push_ = ImapPush(*this, limits).create();
    }
    return *push_;
}

void ImapHarness::greet(const std::string& capabilities) {
    server("* OK [CAPABILITY " + capabilities + "] ready\r\n");
}

void ImapHarness::scriptCheck(int count) {
    greet();
    client(std::string(kLogin) + "a2 STATUS INBOX (UNSEEN)\r\n");
    server("a1 OK Logged in\r\n* STATUS INBOX (UNSEEN " + std::to_string(count) +
           ")\r\na2 OK Status completed\r\n");
}

void ImapHarness::scriptWatching(int exists, const std::string& capabilities) {
    greet();
    client(std::string(kLogin) + "a2 CAPABILITY\r\na3 EXAMINE INBOX\r\n");
    server("a1 OK Logged in\r\n* CAPABILITY " + capabilities + "\r\na2 OK\r\n");
    server("* FLAGS (\\Answered \\Seen)\r\n* " + std::to_string(exists) +
           " EXISTS\r\n* 0 RECENT\r\n* OK [UIDVALIDITY 1700] UIDs valid\r\n"
           "* OK [UIDNEXT 42] Predicted next UID\r\na3 OK [READ-ONLY] Examine completed\r\n");
}

int ImapHarness::check() {
    const int handle = RunNow(lib().NMailPop3Connect(net::MailboxAt(kServer)));
    EXPECT_GT(handle, 0);
    return RunNow(
        lib().NMailPop3Authenticate(handle, "taro", net::Credential::ofPassword("secret"), 0));
}

PushOpened ImapHarness::open(const std::string& server) {
    return RunNow(
        push().open(net::MailboxAt(server, "taro"), net::Credential::ofPassword("secret")));
}

std::unique_ptr<Transport> ImapHarness::create() {
    if (created_ == conversations_.size()) {
        conversations_.emplace_back();
    }
    return conversations_[created_++].transport();
}

}  // namespace breezel::imap
