#include <gtest/gtest.h>

#include "platform/DesktopAccounts.h"
#include "support/FakeServices.h"

namespace breezel {
namespace {

struct ServesRow {
    const char* imapHost;
    const char* imapUser;
    const char* email;
    const char* host;
    std::uint16_t port;
    const char* user;
    bool serves;
};

class DesktopAccountServes : public ::testing::TestWithParam<ServesRow> {};

TEST_P(DesktopAccountServes, ByHostPortAndUser) {
    const ServesRow& row = GetParam();
    DesktopAccount account;
    account.imapHost = row.imapHost;
    account.imapUser = row.imapUser;
    account.email = row.email;
    EXPECT_EQ(account.serves(row.host, row.port, row.user), row.serves)
        << row.imapHost << " " << row.imapUser << " / " << row.host << ":" << row.port << " "
        << row.user;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DesktopAccountServes,
    ::testing::Values(
        // The host but for case; any port where the desktop names none.
        ServesRow{"imap.gmail.com", "bob@gmail.com", "bob@gmail.com", "IMAP.Gmail.com", 993,
                  "bob@gmail.com", true},
        ServesRow{"imap.gmail.com", "bob@gmail.com", "", "imap.gmail.com", 143, "bob@gmail.com",
                  true},
        ServesRow{"imap.gmail.com", "bob@gmail.com", "", "imap.gmail.co", 993, "bob@gmail.com",
                  false},
        // A port named must be the port.
        ServesRow{"127.0.0.1:1143", "alice", "", "127.0.0.1", 1143, "alice", true},
        ServesRow{"127.0.0.1:1143", "alice", "", "127.0.0.1", 143, "alice", false},
        ServesRow{"[::1]:1143", "alice", "", "::1", 1143, "alice", true},
        ServesRow{"::1", "alice", "", "::1", 143, "alice", true},
        ServesRow{"127.0.0.1:x", "alice", "", "127.0.0.1", 143, "alice", false},
        // The user name exactly; without one, the address but for case.
        ServesRow{"mail.example.org", "Alice", "alice@example.org", "mail.example.org", 993,
                  "alice", false},
        ServesRow{"mail.example.org", "", "Alice@Example.org", "mail.example.org", 993,
                  "alice@example.org", true},
        ServesRow{"mail.example.org", "", "", "mail.example.org", 993, "", false},
        ServesRow{"", "alice", "", "", 993, "alice", false}));

TEST(DesktopAccountsFind, TakesTheFirstAccountOfTheLoginsKind) {
    FakeDesktopAccounts desktop;
    DesktopAccount password;
    password.id = "password";
    password.imapHost = "imap.example.org";
    password.imapUser = "alice";
    DesktopAccount token = password;
    token.id = "token";
    token.oauth2 = true;
    desktop.accounts = {password, token};
    auto find = [&desktop](bool bearer) {
        auto task = desktop.find("imap.example.org", 993, "alice", bearer);
        task.start();
        return task.result();
    };
    EXPECT_EQ(find(true).value().id, "token");
    EXPECT_EQ(find(false).value().id, "password");
    desktop.accounts = {password};
    EXPECT_FALSE(find(true));
}

}  // namespace
}  // namespace breezel
