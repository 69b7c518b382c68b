#include <gtest/gtest.h>

#include "common/FileUrl.h"

namespace breezel {
namespace {

TEST(FileUrl, ThePathComesBackAsItWas) {
    const std::string path = "/home/a #1/100%/画像データ/FanMove.gif";
    EXPECT_EQ(FileUrl(path), "file://" + path);
    EXPECT_EQ(FileUrlPath(FileUrl(path)), path);
    EXPECT_EQ(FileUrlPath("https://example.jp/file://x"), std::nullopt);
}

}  // namespace
}  // namespace breezel
