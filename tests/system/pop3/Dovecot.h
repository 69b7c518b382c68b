#pragma once

// What run_dovecot_tests.sh tells its tests in the environment about the private Dovecot it
// started (ports, test CA and server certificate, log, the password of the boxN users with N
// messages each), and what the tests share on it.

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "RunTask.h"
#include "imap/ImapMailLibrary.h"
#include "imap/ImapPush.h"
#include "library/MailEngines.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/QtTransportFactory.h"
#include "support/ProgramFixture.h"

namespace breezel {

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

/// Dovecot's plain port, which offers STLS, as a server name.
inline std::string DovecotPlain(const std::string& host = "127.0.0.1") {
    return host + ":" + Env("DOVECOT_POP3_PORT");
}

/// Transports that trust the test CA besides the system's store. One for all tests: reading the
/// store takes most of a short test's time.
inline QtTransportFactory& TrustingTransports() {
    static QtTransportFactory* const factory = new QtTransportFactory;
    static const bool trusted =
        factory->addCaCertificates(QString::fromStdString(Env("DOVECOT_CA")));
    EXPECT_TRUE(trusted) << "DOVECOT_CA must name the test CA: run through run_dovecot_tests.sh";
    return *factory;
}

/// Reads Dovecot's log from a mark on, as lines are written by its own log process.
class DovecotLog {
public:
    DovecotLog() : mark_(content().size()) {}

    /// The first line since the mark that holds `needle`, waiting for it a while.
    std::string lineWith(const std::string& needle) const {
        std::string found;
        RunUntil([&] {
            std::istringstream lines(content().substr(mark_));
            for (std::string line; std::getline(lines, line);) {
                if (line.find(needle) != std::string::npos) {
                    found = line;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    /// How many lines since the mark hold needle, now.
    std::size_t count(const std::string& needle) const {
        std::istringstream lines(content().substr(mark_));
        std::size_t found = 0;
        for (std::string line; std::getline(lines, line);) {
            found += line.find(needle) != std::string::npos ? 1 : 0;
        }
        return found;
    }

private:
    static std::string content() {
        std::ifstream file(Env("DOVECOT_LOG"));
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::size_t mark_;
};

/// The program on fakes but for the mail library, which is the real one (both engines) over
/// the Qt transport.
class DovecotProgramFixture : public ProgramFixture {
protected:
    explicit DovecotProgramFixture(pop3::Pop3Limits limits = {})
        : pop3_(TrustingTransports(), limits), imap_(TrustingTransports()), mail_(pop3_, imap_) {}
    ~DovecotProgramFixture() override { program_.reset(); }

    /// Starts the program for user at server; its message boxes go to messages.
    Program& startFor(const std::string& user, const std::string& server, MessageBox& messages) {
        writeServerFile("POP3=" + server + "\r\n");
        writeAccount("NAME=" + user + "\nNAME2=" + Env("DOVECOT_PASSWORD") + "\n");
        program_ = std::make_unique<Program>(
            Services{timers_, timers_, mail_, imapPush_, signIn_, sound_, process_, messages,
                     launcher_, dialUp_, desktop_, random_, pictures_, tray_, secrets_,
                     desktopAccounts_, system_},
            programDir_.path().string());
        program_->start();
        log_.clear();
        return *program_;
    }

    Pop3MailLibrary pop3_;
    ImapMailLibrary imap_;
    MailEngines mail_;
    ImapPush imapPush_{TrustingTransports()};
};

}  // namespace breezel
