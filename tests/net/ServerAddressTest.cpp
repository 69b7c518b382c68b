// The one server name parser: every form it takes, the protocol and port each means, and the
// names it refuses.
#include <gtest/gtest.h>

#include "net/ServerAddress.h"

namespace breezel::net {
namespace {

TEST(ServerAddressTest, EachFormNamesItsProtocolHostPortAndTls) {
    using P = Protocol;
    struct Case {
        std::string server;
        ServerAddress address;
    };
    const Case cases[] = {
        {"pop.example.jp", {P::Pop3, "pop.example.jp", 110, false}},
        {"  pop.example.jp\t\r\n", {P::Pop3, "pop.example.jp", 110, false}},
        {"pop.example.jp:1110", {P::Pop3, "pop.example.jp", 1110, false}},
        {"192.0.2.7:995", {P::Pop3, "192.0.2.7", 995, false}},
        {"[2001:db8::1]:110", {P::Pop3, "2001:db8::1", 110, false}},
        {"[::1]", {P::Pop3, "::1", 110, false}},
        {"メール.example.jp", {P::Pop3, "メール.example.jp", 110, false}},
        {"pop3://pop.example.jp", {P::Pop3, "pop.example.jp", 110, false}},
        {"POP3://pop.example.jp:2110", {P::Pop3, "pop.example.jp", 2110, false}},
        {"pop3s://pop.example.jp", {P::Pop3, "pop.example.jp", 995, true}},
        {"pop3s://pop.example.jp:65535", {P::Pop3, "pop.example.jp", 65535, true}},
        {"pop3s://[2001:db8::2]", {P::Pop3, "2001:db8::2", 995, true}},
        {"imap://imap.example.jp", {P::Imap, "imap.example.jp", 143, false}},
        {"IMAP://imap.example.jp:1143", {P::Imap, "imap.example.jp", 1143, false}},
        {"imaps://imap.example.jp", {P::Imap, "imap.example.jp", 993, true}},
        {"imaps://[2001:db8::3]:10993", {P::Imap, "2001:db8::3", 10993, true}},
        {" imaps://127.0.0.1 ", {P::Imap, "127.0.0.1", 993, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        EXPECT_EQ(ServerAddress::parse(c.server), c.address);
    }
}

TEST(ServerAddressTest, MalformedNamesAreRefused) {
    const std::string cases[] = {
        "",
        "   ",
        ":110",
        "pop.example.jp:",
        "host:0",
        "host:65536",
        "host:99999999",
        "host:12a",
        "host:-1",
        "host:110:1",
        "2001:db8::1",
        "[2001:db8::1",
        "[]:110",
        "[host]:110",
        "[::1]x",
        "pop3s://",
        "imap://",
        "imaps://:993",
        "pop.exa mple",
        "user@pop.host",
        "pop3://host/inbox",
        "imap://host/INBOX",
        "imapx://host",
        "imaps//host",
        "http://host",
        ";AUTH=XOAUTH2@host",
        "imaps://;AUTH=XOAUTH2",
        "imaps://;AUTH=PLAIN@host",
        "imaps://;AUTH=@host",
        "imaps://user;AUTH=XOAUTH2@host",
        "imaps://;AUTH=XOAUTH2@",
    };
    for (const std::string& server : cases) {
        SCOPED_TRACE(server);
        EXPECT_EQ(ServerAddress::parse(server), std::nullopt);
    }
}

// Only this machine may hear a password in clear: every spelling of loopback, and nothing that
// merely looks like it.
TEST(ServerAddressTest, LoopbackIsThisMachineOnly) {
    struct Case {
        const char* server;
        bool loopback;
    };
    const Case cases[] = {
        {"imap://localhost", true},
        {"imap://LocalHost:1143", true},
        {"imap://127.0.0.1", true},
        {"imap://127.255.3.4", true},
        {"imap://[::1]", true},
        {"imap://[0:0:0:0:0:0:0:1]", true},
        {"imap://[0::0001]", true},
        {"imap://localhost.example.jp", false},
        {"imap://127.0.0", false},
        {"imap://127.0.0.1.5", false},
        {"imap://127.0.0.256", false},
        {"imap://128.0.0.1", false},
        {"imap://127.example.jp", false},
        {"imap://[::]", false},
        {"imap://[::1:0]", false},
        {"imap://[1::1]", false},
        {"imap://[0:0:0:0:0:0:0:0:1]", false},
        {"imap://[::1::]", false},
        {"imap://[::ffff:127.0.0.1]", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        const auto address = ServerAddress::parse(c.server);
        ASSERT_TRUE(address.has_value());
        EXPECT_EQ(address->loopback(), c.loopback);
    }
}

}  // namespace
}  // namespace breezel::net
