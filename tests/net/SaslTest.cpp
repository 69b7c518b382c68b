// The SASL messages both engines send: base64 itself, and what goes inside a bearer login.
// The wire forms of whole logins are in the engines' login conversations.
#include <gtest/gtest.h>

#include "net/Sasl.h"

namespace breezel::net {
namespace {

TEST(SaslTest, Base64KeepsToRfc4648) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\xff\xfe\x01", 4), "AP/+AQ=="},
        {"\xfb\xef\xbe", "++++"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Base64(c.bytes), c.text);
    }
}

TEST(SaslTest, BearerMessagesCarryTheAccountWhereTheServerLooksForIt) {
    struct Case {
        const char* name;
        std::string server;
        std::string id;
        std::string message;  // before base64
    };
    const Case cases[] = {
        {"OAUTHBEARER escapes ',' and '=' of the authorization identity",
         "imaps://;AUTH=OAUTHBEARER@[2001:db8::3]", "a=b,c@example.jp",
         "n,a=a=3Db=2Cc@example.jp,\x01host=2001:db8::3\x01port=993\x01"
         "auth=Bearer tok\x01\x01"},
        {"OAUTHBEARER without an ID names none", "pop3://;AUTH=OAUTHBEARER@pop.example.jp", "",
         "n,,\x01host=pop.example.jp\x01port=110\x01"
         "auth=Bearer tok\x01\x01"},
        {"XOAUTH2 takes the ID as it is", "imap://;AUTH=XOAUTH2@imap.example.jp:1143", "a=b,c",
         "user=a=b,c\x01"
         "auth=Bearer tok\x01\x01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto login =
            ChooseBearerLogin(*ServerAddress::parse(c.server), true, true, c.id, "tok");
        ASSERT_TRUE(login);
        EXPECT_EQ(login->response, Base64(c.message));
    }
}

}  // namespace
}  // namespace breezel::net
