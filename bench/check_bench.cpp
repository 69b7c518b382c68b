// Whole mail checks through the mail library against a POP3 server, timed next to the floor:
// the same commands sent in one write on a plain socket with every answer read. Prints
// "<messages> <median s per check> <median s of the floor>".
// Usage: check_bench HOST PORT USER PASSWORD RUNS [PIPELINE_WINDOW]
// PIPELINE_WINDOW replaces the library's default, to see how the window bounds a check.
// Or: check_bench --server NAME USER PASSWORD RUNS: whole checks of the server named as the
// user writes it (POP3 or IMAP), through the program's whole library; prints
// "<count> <median s per check>".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "imap/ImapMailLibrary.h"
#include "library/MailEngines.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/QtTransportFactory.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Account {
    std::string host;
    std::uint16_t port = 0;
    std::string user;
    std::string password;
};

/// One check with the calls the program makes; the number of messages, or -1 when any call
/// failed.
breezel::Task<int> LibraryCheck(breezel::MailLibrary& mail, Account account) {
    // A name given without a port is taken whole, as the user writes it. Made before the
    // co_await: GCC 12 destroys a conditional's temporary twice inside one (a compiler fault).
    std::string server = account.host;
    if (account.port != 0) {
        server += ':';
        server += std::to_string(account.port);
    }
    const int handle = co_await mail.NMailPop3Connect(breezel::net::MailboxAt(std::move(server)));
    if (handle == -1) {
        std::fprintf(stderr, "connect: %s\n", mail.NMailGetMessage(0).c_str());
        co_return -1;
    }
    const int count = co_await mail.NMailPop3Authenticate(
        handle, account.user, breezel::net::Credential::ofPassword(account.password), 0);
    bool ok = count >= 0;
    if (!ok) {
        std::fprintf(stderr, "login: %s\n", mail.NMailGetMessage(0).c_str());
    }
    breezel::MailTexts texts;
    const int walked = mail.countsOnly(handle) ? 0 : count;
    for (int n = 1; n <= walked && mail.NMailPop3Connected(handle); ++n) {
        const bool status = co_await mail.NMailPop3GetMailStatus(handle, n, texts, 0) >= 0;
        const bool size = co_await mail.NMailPop3GetMailSize(handle, n) >= 0;
        const bool body = co_await mail.NMailPop3GetMail(handle, n, texts, 0, 0) >= 0;
        if (!(status && size && body) && ok) {
            std::fprintf(stderr, "message %d: %s\n", n, mail.NMailGetMessage(0).c_str());
            ok = false;
        }
    }
    co_await mail.NMailPop3Close(handle);
    co_return ok ? count : -1;
}

breezel::Task<> KeepResult(breezel::Task<int> task, int& result) {
    result = co_await std::move(task);
}

/// Runs a check in the event loop, as the program does; its result.
int Run(breezel::Task<int> check) {
    int result = -1;
    bool ended = false;
    QEventLoop loop;
    breezel::TaskScope scope;
    scope.spawn(KeepResult(std::move(check), result), [&] {
        ended = true;
        loop.quit();
    });
    if (!ended) {
        loop.exec();
    }
    return result;
}

/// The floor: once the server has greeted (a client speaks only then), the check's commands in
/// one write, read to the end; false unless every answer was positive.
bool FloorCheck(const Account& account, int count) {
    std::string commands = "USER " + account.user + "\r\nPASS " + account.password + "\r\nSTAT\r\n";
    for (int n = 1; n <= count; ++n) {
        const std::string number = std::to_string(n);
        commands += "TOP " + number + " 0\r\nLIST " + number + "\r\nRETR " + number + "\r\n";
    }
    commands += "QUIT\r\n";

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(account.port);
    ::inet_pton(AF_INET, account.host.c_str(), &address.sin_addr);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    // The greeting: one short line, alone on the wire.
    std::vector<char> buffer(1 << 16);
    ssize_t n = 0;
    for (bool greeted = false; ok && !greeted;) {
        n = ::recv(fd, buffer.data(), buffer.size(), 0);
        ok = n > 0 && buffer[0] == '+';
        greeted = ok && buffer[n - 1] == '\n';
    }
    for (std::size_t sent = 0; ok && sent < commands.size();) {
        const ssize_t n = ::send(fd, commands.data() + sent, commands.size() - sent, 0);
        ok = n > 0;
        sent += ok ? static_cast<std::size_t>(n) : 0;
    }
    // Bodies of the test mailboxes never start a line with '-': any such line is an -ERR.
    bool lineStart = true;
    int negative = 0;
    while (ok && (n = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            negative += lineStart && buffer[i] == '-' ? 1 : 0;
            lineStart = buffer[i] == '\n';
        }
    }
    ::close(fd);
    return ok && n == 0 && negative == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double SecondsOf(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

/// Checks of a server named as the user writes it, through both engines as the program has them.
int NamedServer(const Account& account, int runs) {
    breezel::QtTransportFactory transports;
    breezel::Pop3MailLibrary pop3(transports);
    breezel::ImapMailLibrary imap(transports);
    breezel::MailEngines mail(pop3, imap);
    const int count = Run(LibraryCheck(mail, account));  // warms the server and its caches
    if (count < 0) {
        std::fprintf(stderr, "the warm-up check failed\n");
        return 1;
    }
    std::vector<double> checks;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        if (Run(LibraryCheck(mail, account)) != count) {
            std::fprintf(stderr, "a check failed\n");
            return 1;
        }
        checks.push_back(SecondsOf(Clock::now() - start));
    }
    std::printf("%d %.4f\n", count, Median(checks));
    return 0;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 6 && std::string(argv[1]) == "--server") {
        return NamedServer(Account{argv[2], 0, argv[3], argv[4]}, std::max(1, std::stoi(argv[5])));
    }
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD RUNS [PIPELINE_WINDOW]\n", argv[0]);
        return 2;
    }
    const Account account{argv[1], static_cast<std::uint16_t>(std::stoi(argv[2])), argv[3],
                          argv[4]};
    const int runs = std::max(1, std::stoi(argv[5]));

    breezel::QtTransportFactory transports;
    breezel::pop3::Pop3Limits limits;
    if (argc == 7) {
        limits.pipelineWindow = std::stoi(argv[6]);
    }
    breezel::Pop3MailLibrary mail(transports, limits);
    mail.NMailInitializeWinSock();
    mail.NMailSetOption(1, 8192);

    // The first round warms the server's indexes and the page cache and finds the count.
    const int count = Run(LibraryCheck(mail, account));
    if (count < 0 || !FloorCheck(account, count)) {
        std::fprintf(stderr, "the warm-up check failed\n");
        return 1;
    }
    std::vector<double> library;
    std::vector<double> floor;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        if (Run(LibraryCheck(mail, account)) != count) {
            std::fprintf(stderr, "a check through the library failed\n");
            return 1;
        }
        library.push_back(SecondsOf(Clock::now() - start));
        start = Clock::now();
        if (!FloorCheck(account, count)) {
            std::fprintf(stderr, "a check on the raw socket failed\n");
            return 1;
        }
        floor.push_back(SecondsOf(Clock::now() - start));
    }
    mail.NMailEndWinSock();
    std::printf("%d %.4f %.4f\n", count, Median(library), Median(floor));
    return 0;
}
