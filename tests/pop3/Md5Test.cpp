// MD5 against the test suite of RFC 1321 (appendix A.5) and the APOP example of RFC 1939.

#include <gtest/gtest.h>

#include "pop3/Md5.h"

namespace breezel::pop3 {
namespace {

TEST(Pop3Md5Test, MatchesThePublishedDigests) {
    struct Case {
        std::string input;
        std::string digest;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {"<1896.697170952@dbc.mtview.ca.us>tanstaaf", "c4c9334bac560ecc979e58001b3e22fb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Md5::hex(c.input), c.digest);
    }
}

TEST(Pop3Md5Test, PiecewiseInputAcrossBlockBoundariesGivesTheSameDigest) {
    // 55, 56 and 64 bytes are where the padding needs one or two final blocks.
    for (const std::size_t size : {55u, 56u, 63u, 64u, 65u, 200u}) {
        SCOPED_TRACE(size);
        const std::string input(size, 'q');
        Md5 md5;
        for (std::size_t at = 0; at < size; at += 7) {
            md5.update(std::string_view(input).substr(at, 7));
        }
        Md5 whole;
        whole.update(input);
        EXPECT_EQ(md5.finish(), whole.finish());
    }
}

}  // namespace
}  // namespace breezel::pop3
