#pragma once

// What run_dovecot_tests.sh tells its tests in the environment about the private Dovecot it
// started (ports, test CA and server certificate, log, the password of the boxN users with N
// messages each), and what the tests share on it.

#include <cstdlib>
#include <memory>
#include <string>

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

/// The program on fakes but for the mail library, which is the real one over the Qt transport.
class DovecotProgramFixture : public ProgramFixture {
protected:
    explicit DovecotProgramFixture(pop3::Pop3Limits limits = {})
        : mail_(TrustingTransports(), limits) {}
    ~DovecotProgramFixture() override { program_.reset(); }

    /// Starts the program for user at server; its message boxes go to messages.
    Program& startFor(const std::string& user, const std::string& server, MessageBox& messages) {
        writeServerFile("POP3=" + server + "\r\n");
        writeAccount("NAME=" + user + "\nNAME2=" + Env("DOVECOT_PASSWORD") + "\n");
        program_ = std::make_unique<Program>(
            Services{timers_, timers_, mail_, push_, sound_, process_, messages, launcher_, dialUp_,
                     desktop_, random_, pictures_, tray_},
            programDir_.path().string());
        program_->start();
        log_.clear();
        return *program_;
    }

    Pop3MailLibrary mail_;
};

}  // namespace breezel
