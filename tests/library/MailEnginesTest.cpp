// The engines behind the one library: each connection goes to the engine its server name asks
// for, and everything on its handle after it, failure texts included.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "library/MailEngines.h"
#include "support/FakeServices.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;

int Now(Task<int> call) {
    call.start();
    EXPECT_TRUE(call.done());
    return call.result();
}

TEST(MailEnginesTest, EachNameGoesToItsEngineAndItsHandleStaysThere) {
    CallLog pop3Log;
    CallLog imapLog;
    FakeMailLibrary pop3(pop3Log);
    FakeMailLibrary imap(imapLog);
    imap.countsOnlyResult = true;
    imap.loginResult = -1;
    imap.errorText = "IMAP のエラー";
    pop3.loginResult = 2;
    MailEngines engines(pop3, imap);

    const int viaImap = Now(engines.NMailPop3Connect(net::MailboxAt("imaps://imap.example")));
    const int viaPop3 = Now(engines.NMailPop3Connect(net::MailboxAt("pop.example")));
    EXPECT_NE(viaImap, viaPop3) << "one library, one set of handles";
    EXPECT_EQ(
        Now(engines.NMailPop3Authenticate(viaImap, "me", net::Credential::ofPassword("pw"), 0)),
        -1);
    EXPECT_EQ(engines.NMailGetMessage(0), "IMAP のエラー") << "the failing engine's text";
    EXPECT_TRUE(engines.countsOnly(viaImap));
    EXPECT_FALSE(engines.countsOnly(viaPop3));
    EXPECT_EQ(
        Now(engines.NMailPop3Authenticate(viaPop3, "me", net::Credential::ofPassword("pw"), -1)),
        2);
    Now(engines.NMailPop3GetMailSize(viaPop3, 1));
    Now(engines.NMailPop3Close(viaImap));
    Now(engines.NMailPop3Close(viaPop3));
    // Names that are no IMAP server's, usable or not, are POP3's to judge.
    pop3.connectResult = -1;
    EXPECT_EQ(Now(engines.NMailPop3Connect(net::MailboxAt("pop3s://[::1"))), -1);

    EXPECT_THAT(imapLog, ElementsAre("connect imaps://imap.example", "login 7 me pw 0", "message",
                                     "close 7"));
    EXPECT_THAT(pop3Log, ElementsAre("connect pop.example", "login 7 me pw -1", "size 7 1",
                                     "close 7", "connect pop3s://[::1"));
}

}  // namespace
}  // namespace breezel
