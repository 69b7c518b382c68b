// Checks of several mailboxes through the program's whole check, the real engines over the Qt
// transport and the user interface on the tests' fakes: each mailbox checked alone, then all of
// them in one check, and then all of them beside a server that never answers. Prints the times
// (median of RUNS) and their ratios; bench/mailboxes runs it against a private Dovecot.
// Usage: mailboxes_bench RUNS PASSWORD SERVER... [--dead SERVER]
#include <sys/resource.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Program.h"
#include "forms/MsgForm.h"
#include "imap/ImapMailLibrary.h"
#include "library/MailEngines.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/QtServices.h"
#include "qt/QtTimerDriver.h"
#include "qt/QtTransportFactory.h"
#include "support/FakeServices.h"
#include "support/TempDir.h"
#include "system/pop3/RunTask.h"

namespace {

using namespace breezel;
using Clock = std::chrono::steady_clock;

struct Setup {
    std::vector<std::string> servers;  // "SERVER USER": the first is the first mailbox
    std::string password;
};

/// The processor time this process has used, in seconds.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Times {
    double wall = -1;  // -1: a check showed something else
    double cpu = 0;    // this process's own processor time
};

/// The median time from a check's start to the board showing expected, in seconds, and the
/// processor time the program used meanwhile.
Times TimeChecks(const Setup& setup, int runs, const std::string& expected) {
    TempDir programDir;
    TempDir currentDir;
    std::filesystem::create_directory(programDir / "★MailData");
    const auto split = [](const std::string& entry) {
        const auto blank = entry.find(' ');
        return std::pair(entry.substr(0, blank), entry.substr(blank + 1));
    };
    const auto [firstServer, firstUser] = split(setup.servers.front());
    TempDir::Write(programDir / "★MailData" / "iniIdPass.ini",
                   "[EXEINI]\nNAME=" + firstUser + "\nNAME2=" + setup.password + "\n");
    TempDir::Write(currentDir / "vbmail.ini", "POP3=" + firstServer + "\r\n");
    std::string further;
    FakeSecretStore secrets;
    for (std::size_t n = 1; n < setup.servers.size(); ++n) {
        const auto [server, user] = split(setup.servers[n]);
        const std::string key = "m" + std::to_string(n);
        further += "[" + key + "]\nserver=" + server + "\nid=" + user + "\n";
        Task<> saved = secrets.save(key, setup.password);
        saved.start();
    }
    TempDir::Write(programDir / "★MailData" / "mailboxes.ini", further);
    std::filesystem::current_path(currentDir.path());

    CallLog log;
    QtTimerDriver timers;
    QtClock clock;
    QtTransportFactory transports;
    Pop3MailLibrary pop3(transports);
    ImapMailLibrary imap(transports);
    MailEngines mail(pop3, imap);
    FakeMailPush push;  // interval 0: no push connection
    FakeSignIn signIn;
    FakeSoundDevice sound(log);
    FakeProcessControl process(log);
    FakeMessageBox messages(log);
    FakeLauncher launcher(log);
    FakeDialUp dialUp(log);
    FakeDesktop desktop(log);
    FakeTray tray(log);
    FakeRandom random;
    FakePictures pictures;
    FakeDesktopAccounts desktopAccounts;
    FakeSystemEvents system;
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int run = 0; run < runs; ++run) {
        // A program of its own each time: a session an earlier check left to a silent server
        // would otherwise keep that mailbox out of the next check.
        Program program(
            Services{timers, clock, mail, push, signIn, sound, process, messages, launcher, dialUp,
                     desktop, random, pictures, tray, secrets, desktopAccounts, system},
            programDir.path().string());
        program.start();
        {
            log.clear();
            const auto start = Clock::now();
            const double cpuStart = CpuSeconds();
            TaskScope scope;
            scope.spawn(program.mailCheck().CheckMail());
            const bool shown = RunUntil(
                [&] { return program.hasMsgForm() && program.msgForm().Text2.text() == expected; },
                std::chrono::seconds(120));
            if (!shown) {
                std::printf("  the board did not show %s\n", expected.c_str());
                return {};
            }
            times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            cpuTimes.push_back(CpuSeconds() - cpuStart);
        }
    }
    std::filesystem::current_path("/");
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    return {times[times.size() / 2], cpuTimes[cpuTimes.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: mailboxes_bench RUNS PASSWORD 'SERVER USER COUNT'... "
                     "[--dead SERVER]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    Setup all{{}, argv[2]};
    std::vector<std::string> counts;
    std::string dead;
    for (int n = 3; n < argc; ++n) {
        const std::string arg = argv[n];
        if (arg == "--dead" && n + 1 < argc) {
            dead = argv[++n];
            continue;
        }
        const auto last = arg.rfind(' ');
        all.servers.push_back(arg.substr(0, last));
        counts.push_back(arg.substr(last + 1));
    }
    double slowest = 0;
    long total = 0;
    for (std::size_t n = 0; n < all.servers.size(); ++n) {
        const Times alone = TimeChecks(Setup{{all.servers[n]}, all.password}, runs, counts[n]);
        std::printf("mailbox %zu alone:       %.3f s (Breezel's processor time %.3f s)\n", n + 1,
                    alone.wall, alone.cpu);
        slowest = std::max(slowest, alone.wall);
        total += std::atol(counts[n].c_str());
    }
    const Times together = TimeChecks(all, runs, std::to_string(total));
    std::printf(
        "all %zu in one check:   %.3f s (processor %.3f s) = %.2fx the slowest alone"
        "   target <= 1.3x: %s\n",
        all.servers.size(), together.wall, together.cpu, together.wall / slowest,
        together.wall <= 1.3 * slowest ? "met" : "MISSED");
    if (!dead.empty()) {
        Setup withDead = all;
        withDead.servers.push_back(dead + " nobody");
        const Times held = TimeChecks(withDead, runs, std::to_string(total));
        // A run's own noise is a few milliseconds; more is the silent server holding them.
        const double later = held.wall - together.wall;
        std::printf("beside a silent server: %.3f s, %+.3f s   target: no delay (<= 0.05 s): %s\n",
                    held.wall, later, later <= 0.05 ? "met" : "MISSED");
    }
    std::fflush(stdout);
    return 0;
}
