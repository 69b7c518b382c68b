#include <gtest/gtest.h>

#include <tuple>

#include "settings/AtomicFile.h"
#include "settings/MailboxFile.h"
#include "settings/ServerSettings.h"
#include "support/TempDir.h"

namespace breezel {
namespace {

std::string Repeat(const std::string& text, int count) {
    std::string out;
    while (count-- > 0) {
        out += text;
    }
    return out;
}

TEST(ServerSettings, LoadsLines) {
    const SharedSettings preset{"smtp0", "pop0", "mail0", 5, "id", "pw"};
    const std::string digits = "0123456789", a = "\xE3\x81\x82";
    struct Case {
        std::string content, smtp, pop3, mail;
        std::int16_t apop;
    };
    const Case cases[] = {
        {"SMTP=s\r\nPOP3=p\r\nMAIL=m\r\nAPOP=1\r\n", "s", "p", "m", 1},
        {"smtp=s\npop3=p\nmail=m\napop=1\nSMTP\n\n", "smtp0", "pop0", "mail0", 5},
        {"POP3=" + Repeat(digits, 15), "smtp0", Repeat(digits, 10), "mail0", 5},
        {"POP3=" + Repeat(a, 150) + "\r", "smtp0", Repeat(a, 100), "mail0", 5},
        {"MAIL=first\nMAIL=second\n SMTP=x\nSMTP= x \r", " x ", "pop0", "second", 5},
        {"APOP=x", "smtp0", "pop0", "mail0", 0},
        {"APOP=1.5", "smtp0", "pop0", "mail0", 2},
        {"APOP=2.5", "smtp0", "pop0", "mail0", 2},
        {"APOP=99999999", "smtp0", "pop0", "mail0", 32767},
        {"APOP=-99999999", "smtp0", "pop0", "mail0", -32768},
        {"\xEF\xBB\xBFSMTP=bom", "bom", "pop0", "mail0", 5},
    };
    TempDir dir;
    SharedSettings untouched = preset;
    LoadServerSettings(untouched, dir / "vbmail.ini");
    EXPECT_EQ(untouched.SmtpServer, "smtp0") << "missing file";
    for (const Case& c : cases) {
        TempDir::Write(dir / "vbmail.ini", c.content);
        SharedSettings s = preset;
        LoadServerSettings(s, dir / "vbmail.ini");
        EXPECT_EQ(std::tie(s.SmtpServer, s.Pop3Server, s.MailAddress, s.ApopFlag),
                  std::tie(c.smtp, c.pop3, c.mail, c.apop))
            << c.content;
    }
}

TEST(ServerSettings, SavesFourCrlfLinesThatLoadBack) {
    TempDir dir;
    SharedSettings s;
    s.Pop3Server = "host";
    ASSERT_TRUE(SaveServerSettings(s, dir / "vbmail.ini"));
    EXPECT_EQ(TempDir::Read(dir / "vbmail.ini"), "SMTP=\r\nPOP3=host\r\nMAIL=\r\nAPOP=0\r\n");
    s.SmtpServer = "a\r\nAPOP=1";
    ASSERT_TRUE(SaveServerSettings(s, dir / "vbmail.ini"));
    EXPECT_EQ(TempDir::Read(dir / "vbmail.ini"),
              "SMTP=a  APOP=1\r\nPOP3=host\r\nMAIL=\r\nAPOP=0\r\n");

    const SharedSettings full{
        Repeat("s", 100), Repeat("\xE3\x81\x82", 100), Repeat("m", 100), 1, "", ""};
    ASSERT_TRUE(SaveServerSettings(full, dir / "vbmail.ini"));
    SharedSettings loaded;
    LoadServerSettings(loaded, dir / "vbmail.ini");
    EXPECT_EQ(std::tie(loaded.SmtpServer, loaded.Pop3Server, loaded.MailAddress, loaded.ApopFlag),
              std::tie(full.SmtpServer, full.Pop3Server, full.MailAddress, full.ApopFlag));
}

// The further mailboxes' file: what is saved loads back, Japanese and all; a value cannot smuggle
// in lines of its own; a person's edits (blanks, case, comments, an unnamed or repeated section)
// read as in the other settings files; no password is ever written.
TEST(MailboxFile, SavesSectionsThatLoadBackAndKeepsThemWhole) {
    TempDir dir;
    const auto file = dir.path() / "mailboxes.ini";
    net::Mailbox work = net::MailboxAt("imaps://imap.example.org", "taro");
    work.key = "mailbox-2";
    work.name = "仕事\n[mailbox-9]";
    work.folders = {"仕事", "Archive/2026"};
    work.password = Secret("secret-pw");
    work.secretSource = net::SecretSource::Keyring;
    net::Mailbox old = net::MailboxAt("pop3s://;AUTH=XOAUTH2@pop.example", "me@example");
    old.key = "mailbox-3";
    old.enabled = false;
    ASSERT_TRUE(SaveMailboxes(file, {work, old}));

    const std::string text = *ReadWholeFile(file);
    EXPECT_EQ(text.find("secret-pw"), std::string::npos);
    const std::vector<net::Mailbox> loaded = LoadMailboxes(file);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].name, "仕事 [mailbox-9]");
    EXPECT_EQ(loaded[0].folders, work.folders);
    EXPECT_EQ(loaded[0].address, work.address);
    EXPECT_TRUE(loaded[0].password.empty());
    EXPECT_EQ(loaded[0].secretSource, net::SecretSource::Keyring);
    EXPECT_FALSE(loaded[1].enabled);
    EXPECT_TRUE(loaded[1].bearer());
    EXPECT_EQ(NewMailboxKey(loaded), "mailbox-4");

    ASSERT_TRUE(WriteFileAtomically(file,
                                    "\xEF\xBB\xBF; mine\n[ Home ]\r\n Server = pop.example \r\n"
                                    "ID=me\nfolder=\n[]\nserver=x\n[home]\nserver=y\n"
                                    "[nothing]\nname=no server\n"));
    const std::vector<net::Mailbox> edited = LoadMailboxes(file);
    ASSERT_EQ(edited.size(), 1u);
    EXPECT_EQ(edited[0].key, "Home");
    EXPECT_EQ(edited[0].server, "pop.example");
    EXPECT_EQ(edited[0].name, "pop.example");
    EXPECT_TRUE(edited[0].folders.empty());
    EXPECT_TRUE(net::TakesPart(edited[0]));
    EXPECT_EQ(NewMailboxKey(edited), "mailbox-2");
    EXPECT_TRUE(LoadMailboxes(dir.path() / "missing.ini").empty());
}

}  // namespace
}  // namespace breezel
