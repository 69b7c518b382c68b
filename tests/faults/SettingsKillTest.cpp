// Settings writes killed at random points: a writer process rewrites the preferences keys and
// vbmail.ini in turn and is killed with SIGKILL a few hundred times. After every kill each file
// must hold a whole version (never a cut or mixed file, never less) and leftover temporary files
// must stay bounded: a killed write leaves at most one, and the next write of the same file
// removes those older than a minute.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "KillWriter.h"
#include "support/TempDir.h"

namespace breezel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using faults::KillValue;
using faults::kKillKeys;

bool IsTemp(const fs::path& entry) {
    const std::string name = entry.filename().string();
    return name.rfind("ini.ini.tmp", 0) == 0 || name.rfind("vbmail.ini.tmp", 0) == 0;
}

int CountTemps(const fs::path& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        n += IsTemp(entry.path()) ? 1 : 0;
    }
    return n;
}

/// Makes the file two minutes old, past the age at which leftovers count as stale.
void Age(const fs::path& file) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - 120s);
}

TEST(SettingsKillTest, EveryKillLeavesWholeFilesAndBoundedTemps) {
    TempDir dir;
    const fs::path folder = dir.path();
    ASSERT_TRUE(faults::WriteKillRound(folder, 0));
    const auto iniSize = fs::file_size(folder / "ini.ini");
    std::string serverVersions[2];
    for (int v = 0; v < 2; ++v) {
        TempDir other;
        ASSERT_TRUE(faults::WriteKillRound(other.path(), v));
        serverVersions[v] = TempDir::Read(other / "vbmail.ini");
    }

    std::random_device seed;
    const unsigned seedValue = seed();
    std::mt19937 random(seedValue);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    int kills = 0, changes = 0, mostTemps = 0;
    std::string previous = TempDir::Read(folder / "ini.ini");
    while (kills < 400 && std::chrono::steady_clock::now() < deadline) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::execl(BREEZEL_SETTINGS_WRITER, BREEZEL_SETTINGS_WRITER, folder.c_str(), nullptr);
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        // Any other end means a write failed or the writer could not start.
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer exit status " << status;
        ++kills;

        const std::string ini = TempDir::Read(folder / "ini.ini");
        ASSERT_EQ(ini.size(), iniSize) << "kill " << kills << " seed " << seedValue << "\n" << ini;
        const IniFile file(folder / "ini.ini");
        for (std::size_t k = 0; k < kKillKeys.size(); ++k) {
            const std::string value = file.readString("EXEINI", kKillKeys[k], "missing");
            ASSERT_TRUE(value == KillValue(0, k) || value == KillValue(1, k))
                << "kill " << kills << " key " << kKillKeys[k] << ": " << value;
        }
        const std::string server = TempDir::Read(folder / "vbmail.ini");
        ASSERT_TRUE(server == serverVersions[0] || server == serverVersions[1])
            << "kill " << kills << ":\n"
            << server;

        changes += ini != previous ? 1 : 0;
        previous = ini;
        const int temps = CountTemps(folder);
        mostTemps = std::max(mostTemps, temps);
        // A kill leaves at most one temporary file; only the kills of the last minute may.
        ASSERT_LE(temps, kills);
    }
    std::printf("%d kills, %d changed the preferences file, %d temporary files left\n", kills,
                changes, CountTemps(folder));
    EXPECT_GE(kills, 100);
    // The kills really hit a running writer at different points.
    EXPECT_GT(changes, kills / 10);

    // Once they are over a minute old, the next writes of the same files remove the leftovers.
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (IsTemp(entry.path())) {
            Age(entry.path());
        }
    }
    ASSERT_TRUE(faults::WriteKillRound(folder, 0));
    EXPECT_EQ(CountTemps(folder), 0);
    EXPECT_EQ(TempDir::Entries(folder), 2);
}

// A leftover of the writer's own pattern goes once it is stale; fresh ones (maybe a write in
// progress in another process) and files that only look alike stay.
TEST(SettingsKillTest, StaleTemporaryFilesOfTheSameFileAreRemoved) {
    TempDir dir;
    const fs::path stale = dir / "ini.ini.tmpAbC123";
    const fs::path fresh = dir / "ini.ini.tmpXyZ789";
    const fs::path shortName = dir / "ini.ini.tmpAbC12";
    const fs::path otherFile = dir / "other.ini.tmpAbC123";
    const fs::path notAlnum = dir / "ini.ini.tmpAbC-23";
    for (const fs::path& file : {stale, fresh, shortName, otherFile, notAlnum}) {
        TempDir::Write(file, "left over");
        if (file != fresh) {
            Age(file);
        }
    }
    ASSERT_TRUE(WriteFileAtomically(dir / "ini.ini", "[EXEINI]\r\n"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(shortName));
    EXPECT_TRUE(fs::exists(otherFile));
    EXPECT_TRUE(fs::exists(notAlnum));
}

}  // namespace
}  // namespace breezel
