// Many consecutive mail checks in one process: the program's CheckMail through our mail library
// and the Qt transport against a server holding a known number of messages, with fakes for the
// user-interface services. Prints resident memory, open descriptors and threads after check 10,
// every 100 checks and at the end; fails when a check did not count every message or when the
// figures grew beyond the tolerance.
// Usage: soak_bench HOST:PORT USER PASSWORD [CHECKS [MESSAGES]]
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Program.h"
#include "forms/MainForm.h"
#include "forms/MsgForm.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/QtTransportFactory.h"
#include "support/FakeServices.h"
#include "support/ManualTimerDriver.h"
#include "support/TempDir.h"
#include "system/pop3/RunTask.h"

namespace {

using namespace breezel;

struct Figures {
    long rssKb = 0;
    long fds = 0;
    long threads = 0;
};

long Entries(const char* folder) {
    return static_cast<long>(TempDir::Entries(folder));
}

Figures Measure() {
    Figures f;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            f.rssKb = std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    f.fds = Entries("/proc/self/fd");
    f.threads = Entries("/proc/self/task");
    return f;
}

void Print(int check, const Figures& f) {
    std::printf("after check %4d: RSS %6ld kB  fds %3ld  threads %2ld\n", check, f.rssKb, f.fds,
                f.threads);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: soak_bench HOST:PORT USER PASSWORD [CHECKS [MESSAGES]]\n");
        return 2;
    }
    const std::string server = argv[1];
    const int checks = argc > 4 ? std::atoi(argv[4]) : 1000;
    const std::string expected = argc > 5 ? argv[5] : "100";
    constexpr long kRssToleranceKb = 2048;

    TempDir programDir;
    TempDir currentDir;
    std::filesystem::create_directory(programDir / "★MailData");
    TempDir::Write(programDir / "★MailData" / "iniIdPass.ini",
                   std::string("[EXEINI]\nNAME=") + argv[2] + "\nNAME2=" + argv[3] + "\n");
    TempDir::Write(currentDir / "vbmail.ini", "POP3=" + server + "\r\n");
    std::filesystem::current_path(currentDir.path());

    CallLog log;
    ManualTimerDriver timers;
    QtTransportFactory transports;
    Pop3MailLibrary mail(transports);
    FakeMailPush push;  // interval 0: no push connection
    FakeSignIn signIn;  // a password account: no sign-in
    FakeSoundDevice sound(log);
    FakeProcessControl process(log);
    FakeMessageBox messages(log);
    FakeLauncher launcher(log);
    FakeDialUp dialUp(log);
    FakeDesktop desktop(log);
    FakeTray tray(log);
    FakeRandom random;
    FakePictures pictures;
    FakeSecretStore secrets;
    FakeDesktopAccounts desktopAccounts;
    FakeSystemEvents system;
    int failures = 0;
    Figures base;
    {
        Program program(
            Services{timers, timers, mail, push, signIn, sound, process, messages, launcher, dialUp,
                     desktop, random, pictures, tray, secrets, desktopAccounts, system},
            programDir.path().string());
        program.start();
        for (int n = 1; n <= checks; ++n) {
            program.closeMsgForm();
            log.clear();  // the fakes' record would grow otherwise
            if (!RunTask(program.mailCheck().CheckMail())) {
                std::printf("check %d did not end\n", n);
            }
            const std::string shown = program.hasMsgForm() ? program.msgForm().Text2.text() : "-";
            if (shown != expected) {
                ++failures;
                std::printf("check %d: the board shows %s, not %s\n", n, shown.c_str(),
                            expected.c_str());
                for (const std::string& line : log) {
                    std::printf("  %s\n", line.c_str());
                }
            }
            if (n == 10) {
                base = Measure();
                Print(n, base);
            } else if (n % 100 == 0 || n == checks) {
                Print(n, Measure());
            }
        }
        const Figures end = Measure();
        std::printf("growth from check 10: RSS %+ld kB  fds %+ld  threads %+ld; %d wrong counts\n",
                    end.rssKb - base.rssKb, end.fds - base.fds, end.threads - base.threads,
                    failures);
        const bool grew = end.rssKb - base.rssKb > kRssToleranceKb || end.fds > base.fds ||
                          end.threads > base.threads;
        if (grew) {
            std::printf("FAIL: grew beyond RSS +%ld kB, fds +0, threads +0\n", kRssToleranceKb);
        }
        std::filesystem::current_path("/");
        return failures == 0 && !grew ? 0 : 1;
    }
}
