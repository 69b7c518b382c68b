#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/IniFile.h"
#include "support/TempDir.h"

namespace breezel {
namespace {

using namespace std::string_literals;

TEST(IniFile, BuildsANewFileAndReadsItBack) {
    TempDir dir;
    IniFile ini(dir / "a.ini", FileAccess::OwnerOnly);
    EXPECT_TRUE(ini.writeString("Main", "x", "1"));
    EXPECT_TRUE(ini.writeString("Other", "z", "3"));
    EXPECT_TRUE(ini.writeString("main", "Y", "two"));
    EXPECT_TRUE(ini.writeString("Main", "X", "4"));
    EXPECT_EQ(TempDir::Read(dir / "a.ini"), "[Main]\nx=4\nY=two\n[Other]\nz=3\n");
    EXPECT_EQ(TempDir::Mode(dir / "a.ini"), 0600u);
    EXPECT_EQ(IniFile(dir / "a.ini").readInt("MAIN", "x", -1), 4);
}

TEST(IniFile, EditsKeepEveryOtherByte) {
    TempDir dir;
    TempDir::Write(dir / "a.ini",
                   "\xEF\xBB\xBF; note\r\n[A]\r\n  Key = old  \r\nno equals\nk2=v\n\n[B]\r\nq=1");
    IniFile ini(dir / "a.ini");
    ASSERT_TRUE(ini.writeString("a", "key", "new"));
    ASSERT_TRUE(ini.writeString("A", "add", "x\r\ny=injected"));
    ASSERT_TRUE(ini.writeString("B", "r", "2"));
    ASSERT_TRUE(ini.writeString("C", "c", "3"));
    EXPECT_EQ(TempDir::Read(dir / "a.ini"),
              "\xEF\xBB\xBF; note\r\n[A]\r\n  Key = new\r\nno equals\nk2=v\n"
              "add=x  y=injected\r\n\n[B]\r\nq=1\r\nr=2\r\n[C]\r\nc=3\r\n");
    EXPECT_EQ(ini.readString("A", "y", "none"), "none");
}

TEST(IniFile, MatchingRules) {
    const std::string a = "\xE3\x81\x82";
    std::string a100;
    for (int i = 0; i < 100; ++i) {
        a100 += a;
    }
    struct Case {
        std::string content, section, key, expected;
    };
    const Case cases[] = {
        {"[Sec]\nKey=v", "sEC", "kEY", "v"},
        {" \t[ Sec ] \n \tk \t=  a b \t\r\n", "Sec", "k", "a b"},
        {"[S]\nk=first\nk=second\n[S]\nj=x", "S", "k", "first"},
        {"[S]\nk=1\n[S]\nj=x", "S", "j", "(fallback)"},
        {"\xEF\xBB\xBF[S]\r\nk=bom\r\n", "S", "k", "bom"},
        {"[S]\r\na=1\nk=mixed\r", "S", "k", "mixed"},
        {"k=outside\n[S]\nk\nother=1", "S", "k", "(fallback)"},
        {"[S]\nk=\n", "S", "k", "(fallback)"},
        {"[S]\nk=a=b", "S", "k", "a=b"},
        {"[T]\nk=1", "S", "k", "(fallback)"},
        {"[S]\nk=" + a100, "S", "k", a100.substr(0, 85 * a.size())},
    };
    TempDir dir;
    EXPECT_EQ(IniFile(dir / "m.ini").readString("S", "k", "(fallback)"), "(fallback)");
    for (const Case& c : cases) {
        TempDir::Write(dir / "m.ini", c.content);
        EXPECT_EQ(IniFile(dir / "m.ini").readString(c.section, c.key, "(fallback)"), c.expected)
            << c.content;
    }
    // Tokens are longer than any setting: read whole, by the same rules.
    const std::string token(1500, 't');
    TempDir::Write(dir / "m.ini", "[T]\nk=\n[s]\n K = " + token + " \r\n");
    EXPECT_EQ(IniFile(dir / "m.ini").readLongString("S", "k", "(fallback)"), token);
    EXPECT_EQ(IniFile(dir / "m.ini").readLongString("S", "j", "(fallback)"), "(fallback)");
}

TEST(IniFile, ReadInt) {
    TempDir dir;
    IniFile ini(dir / "n.ini");
    EXPECT_EQ(ini.readInt("S", "n", 7), 7) << "missing file";
    TempDir::Write(dir / "n.ini", "[S]\nn= 42px\nbad=abc\nempty=\nbig=99999999999");
    const std::pair<const char*, int> cases[] = {
        {"n", 42}, {"bad", 0}, {"empty", 0}, {"big", 2147483647}, {"none", 7}};
    for (const auto& [key, expected] : cases) {
        EXPECT_EQ(ini.readInt("s", key, 7), expected) << key;
    }
}

TEST(IniFile, GarbageAndHugeLinesSurviveAWrite) {
    TempDir dir;
    const std::string garbage =
        "\0\xFF[\x01=\r\r\n"s + std::string(1 << 20, 'x') + "\n[S]\nk=\0v\n"s;
    TempDir::Write(dir / "g.ini", garbage);
    IniFile ini(dir / "g.ini");
    EXPECT_EQ(ini.readString("S", "k", "-"), "\0v"s);
    EXPECT_TRUE(ini.writeString("T", "k", "v"));
    // The first line ends in CR LF, so the new lines do too.
    EXPECT_TRUE(TempDir::Read(dir / "g.ini") == garbage + "[T]\r\nk=v\r\n");
}

TEST(IniFile, UnusablePathsFailWithoutSideEffects) {
    TempDir dir;
    IniFile folder(dir.path());
    EXPECT_EQ(folder.readString("S", "k", "fb"), "fb");
    EXPECT_FALSE(folder.writeString("S", "k", "v"));
    EXPECT_FALSE(IniFile(dir / "missing" / "a.ini").writeString("S", "k", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(IniFile, UnreadableFileIsNotOverwritten) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root can read any file";
    }
    TempDir dir;
    TempDir::Write(dir / "a.ini", "[S]\nk=secret\n");
    ::chmod((dir / "a.ini").c_str(), 0200);
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.readString("S", "k", "fb"), "fb");
    EXPECT_FALSE(ini.writeString("S", "j", "v"));
    ::chmod((dir / "a.ini").c_str(), 0600);
    EXPECT_EQ(TempDir::Read(dir / "a.ini"), "[S]\nk=secret\n");
}

}  // namespace
}  // namespace breezel
