// Checks of several mailboxes through the program's whole check, the real engines over the Qt
// transport and the user interface on the tests' fakes: each mailbox checked alone, then all of
// them in one check, and then all of them beside a server that never answers. Prints the times
// (median of RUNS) and their ratios; bench/mailboxes runs it against a private Dovecot.
// Usage: mailboxes_bench RUNS PASSWORD SERVER... [--dead SERVER]
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

/// The median time from a check's start to the board showing expected, in seconds; -1 when a
/// check showed something else.
double TimeChecks(const Setup& setup, int runs, const std::string& expected) {
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
    {
        Program program(
            Services{timers, clock, mail, push, signIn, sound, process, messages, launcher, dialUp,
                     desktop, random, pictures, tray, secrets, desktopAccounts, system},
            programDir.path().string());
        program.start();
        for (int run = 0; run < runs; ++run) {
            program.closeMsgForm();
            log.clear();
            const auto start = Clock::now();
            TaskScope scope;
            scope.spawn(program.mailCheck().CheckMail());
            const bool shown = RunUntil(
                [&] { return program.hasMsgForm() && program.msgForm().Text2.text() == expected; },
                std::chrono::seconds(120));
            if (!shown) {
                std::printf("  the board did not show %s\n", expected.c_str());
                return -1;
            }
            times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            RunUntil([&] { return !program.mailCheck().running(); }, std::chrono::seconds(120));
        }
    }
    std::filesystem::current_path("/");
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
        const double alone = TimeChecks(Setup{{all.servers[n]}, all.password}, runs, counts[n]);
        std::printf("mailbox %zu alone: %.3f s\n", n + 1, alone);
        slowest = std::max(slowest, alone);
        total += std::atol(counts[n].c_str());
    }
    const double together = TimeChecks(all, runs, std::to_string(total));
    std::printf("all %zu in one check: %.3f s = %.2fx the slowest alone (target <= 1.3x)\n",
                all.servers.size(), together, together / slowest);
    if (!dead.empty()) {
        Setup withDead = all;
        withDead.servers.push_back(dead + " nobody");
        const double held = TimeChecks(withDead, runs, std::to_string(total));
        std::printf(
            "beside a server that never answers: %.3f s, %.3f s later (the check waits "
            "3 s after the first answer, then announces; target: no delay)\n",
            held, held - together);
    }
    std::fflush(stdout);
    return 0;
}
