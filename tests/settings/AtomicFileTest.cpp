#include <gtest/gtest.h>
#include <sys/stat.h>

#include "settings/AtomicFile.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace breezel {
namespace {

TEST(AtomicFile, ModesOfNewAndExistingFiles) {
    TempDir dir;
    const mode_t oldMask = ::umask(022);
    EXPECT_TRUE(WriteFileAtomically(dir / "new", "a"));
    TempDir::Write(dir / "kept", "old");
    ::chmod((dir / "kept").c_str(), 0640);
    EXPECT_TRUE(WriteFileAtomically(dir / "kept", "new"));
    const unsigned keptMode = TempDir::Mode(dir / "kept");
    EXPECT_TRUE(WriteFileAtomically(dir / "secret", "pw", FileAccess::OwnerOnly));
    EXPECT_TRUE(WriteFileAtomically(dir / "kept", "pw", FileAccess::OwnerOnly));
    ::umask(oldMask);
    EXPECT_EQ(TempDir::Mode(dir / "new"), 0644u);
    EXPECT_EQ(keptMode, 0640u);
    EXPECT_EQ(TempDir::Mode(dir / "secret"), 0600u);
    EXPECT_EQ(TempDir::Mode(dir / "kept"), 0600u);
    EXPECT_EQ(TempDir::Read(dir / "kept"), "pw");
    EXPECT_EQ(TempDir::Entries(dir.path()), 3) << "temporary file left behind";
}

TEST(AtomicFile, WritesThroughSymlinkToItsTarget) {
    TempDir dir;
    TempDir::Write(dir / "real.ini", "old");
    std::filesystem::create_symlink("real.ini", dir / "link.ini");
    std::filesystem::create_symlink("missing.ini", dir / "dangling.ini");
    EXPECT_TRUE(WriteFileAtomically(dir / "link.ini", "new"));
    EXPECT_TRUE(WriteFileAtomically(dir / "dangling.ini", "made"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(TempDir::Read(dir / "real.ini"), "new");
    EXPECT_EQ(TempDir::Read(dir / "missing.ini"), "made");
}

TEST(AtomicFile, UnusablePathsFailWithoutSideEffects) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    TempDir::Write(dir / "plain", "x");
    ::mkfifo((dir / "fifo").c_str(), 0600);
    EXPECT_FALSE(WriteFileAtomically(dir / "folder", "x"));
    EXPECT_FALSE(WriteFileAtomically(dir / "nofolder" / "f", "x"));
    EXPECT_FALSE(WriteFileAtomically(dir / "plain" / "f", "x"));
    EXPECT_EQ(TempDir::Entries(dir.path()), 3) << "folder created or temporary file left";
    EXPECT_EQ(ReadWholeFile(dir / "fifo"), std::nullopt);  // and must not block
}

TEST(AtomicFile, FailedWriteKeepsOldContentAndLeavesNoTemporary) {
    TempDir dir;
    TempDir::Write(dir / "f", "old content");
    {
        FileSizeLimit limit(16);
        EXPECT_FALSE(WriteFileAtomically(dir / "f", std::string(100, 'n')));
    }
    EXPECT_EQ(TempDir::Read(dir / "f"), "old content");
    EXPECT_EQ(TempDir::Entries(dir.path()), 1);
}

}  // namespace
}  // namespace breezel
