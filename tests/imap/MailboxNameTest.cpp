// Mailbox names between the user's UTF-8 and modified UTF-7 on the wire, both ways, and the
// names that are neither.

#include <gtest/gtest.h>

#include "imap/MailboxName.h"

namespace breezel::imap {
namespace {

TEST(MailboxNameTest, NamesGoOnTheWireAndComeBack) {
    struct Case {
        std::string name;
        std::string wire;
    };
    const Case cases[] = {
        {"INBOX", "INBOX"},
        {"仕事", "&TtVOiw-"},
        {"~peter/mail/台北/日本語", "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},  // RFC 3501's example
        {"&", "&-"},
        {"受信箱/仕事&遊び", "&U9dP4Xux-/&TtVOiw-&-&kEowcw-"},
        {"メール 2024", "&MOEw,DDr- 2024"},
        {"😀", "&2D3eAA-"},  // beyond 16 bits: a surrogate pair
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EncodeMailboxName(c.name), c.wire);
        EXPECT_EQ(DecodeMailboxName(c.wire), c.name);
    }
}

TEST(MailboxNameTest, MalformedNamesAreRejected) {
    const std::string wires[] = {
        "&TtVOiw",    // the shift never ends
        "&TtVOiw=-",  // padding is not modified base64
        "&TtVOi/-",   // '/' is ',' here
        "&TtVOiz-",   // bits left over that are not zero
        "&TtVO-",     // half a character
        "&AGE-",      // 'a', which stands for itself
        "&AAo-",      // a line end
        "&2D0-",      // half of a surrogate pair
        "仕事",       // 8-bit bytes as they are
        "a\tb",
    };
    for (const std::string& wire : wires) {
        SCOPED_TRACE(wire);
        EXPECT_EQ(DecodeMailboxName(wire), std::nullopt);
    }
    for (const std::string name : {"\xE4\xBB", "\xFF", "a\nb", "\xC0\xAF", "\xED\xA0\x80"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(EncodeMailboxName(name), std::nullopt);
    }
}

}  // namespace
}  // namespace breezel::imap
