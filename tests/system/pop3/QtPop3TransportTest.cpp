// The QSslSocket transport against servers in the test's own thread: line framing, limits,
// failures of the connection, TLS verification and the STLS upgrade.
#include <gtest/gtest.h>

#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

#include "LocalServer.h"
#include "platform/qt/QtPop3TransportFactory.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;
using pop3::TransportCode;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

QSslConfiguration ServerTls() {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(
        QSslCertificate::fromPath(QString::fromStdString(Env("DOVECOT_SERVER_CERT"))).value(0));
    QFile key(QString::fromStdString(Env("DOVECOT_SERVER_KEY")));
    if (key.open(QIODevice::ReadOnly)) {
        tls.setPrivateKey(QSslKey(&key, QSsl::Ec));
    }
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

class QtPop3TransportTest : public ::testing::Test {
protected:
    // Shared: reading the system's trust store for each test would take most of its time.
    static void SetUpTestSuite() {
        trusting_ = new QtPop3TransportFactory;
        trustsTestCa_ = trusting_->addCaCertificates(QString::fromStdString(Env("DOVECOT_CA")));
    }
    static void TearDownTestSuite() { delete trusting_; }
    void SetUp() override { ASSERT_TRUE(trustsTestCa_) << "DOVECOT_CA must name the test CA"; }

    /// A transport connected to the server, and the server's end of the connection.
    std::unique_ptr<pop3::Transport> connect(LocalServer& server, QSslSocket*& peer,
                                             bool tls = false) {
        auto transport = trusting_->create();
        const pop3::TransportStatus status =
            transport->connect("127.0.0.1", server.serverPort(), tls, 5s);
        EXPECT_TRUE(status.ok()) << status.detail;
        peer = server.waitForClient();
        EXPECT_NE(peer, nullptr);
        return transport;
    }

    std::string readLine(pop3::Transport& transport, std::size_t maxBytes = 1024) {
        std::string line;
        const pop3::TransportStatus status = transport.readLine(line, maxBytes, 5s);
        EXPECT_TRUE(status.ok()) << status.detail;
        return line;
    }

    static inline QtPop3TransportFactory* trusting_ = nullptr;
    static inline bool trustsTestCa_ = false;
};

TEST_F(QtPop3TransportTest, LinesAreCutFromArrivalsWhateverTheirBoundaries) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    peer->write("+OK first\r\n+OK sec");
    // The rest comes while the transport waits: its wait must let this timer run.
    QTimer::singleShot(50ms, peer, [peer] { peer->write("ond\r\n.\r\n"); });
    EXPECT_EQ(readLine(*transport), "+OK first\r\n");
    EXPECT_EQ(readLine(*transport), "+OK second\r\n");
    EXPECT_EQ(readLine(*transport), ".\r\n");
}

TEST_F(QtPop3TransportTest, LineWithoutEndWithinTheLimitIsTooLong) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    peer->write("1234567\n123456789\n");
    EXPECT_EQ(readLine(*transport, 8), "1234567\n");
    std::string line;
    EXPECT_EQ(transport->readLine(line, 8, 5s).code, TransportCode::LineTooLong);
    EXPECT_EQ(line, "12345678");
}

TEST_F(QtPop3TransportTest, SilenceTimesOutAndLeavesTheConnectionUsable) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    std::string line;
    const pop3::TransportStatus status = transport->readLine(line, 1024, 200ms);
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_FALSE(status.detail.empty());

    ASSERT_TRUE(transport->write("NOOP\r\n").ok());
    ASSERT_TRUE(ProcessEventsUntil([peer] { return peer->canReadLine(); }));
    EXPECT_EQ(peer->readLine().toStdString(), "NOOP\r\n");
    peer->write("+OK\r\n");
    EXPECT_EQ(readLine(*transport), "+OK\r\n");
}

TEST_F(QtPop3TransportTest, LinesSentBeforeThePeerClosedAreReadThenClosedIsReported) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    peer->write("+OK a\r\n+OK b\r\npartial");
    peer->disconnectFromHost();
    EXPECT_EQ(readLine(*transport), "+OK a\r\n");
    EXPECT_EQ(readLine(*transport), "+OK b\r\n");
    std::string line;
    EXPECT_EQ(transport->readLine(line, 1024, 5s).code, TransportCode::Closed);
    EXPECT_EQ(transport->write("QUIT\r\n").code, TransportCode::Closed);
}

TEST_F(QtPop3TransportTest, ClosedTransportRefusesEveryCall) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);
    peer->write("+OK\r\n");

    transport->close();
    std::string line;
    EXPECT_EQ(transport->readLine(line, 1024, 1s).code, TransportCode::Closed);
    EXPECT_EQ(transport->write("QUIT\r\n").code, TransportCode::Closed);
    EXPECT_EQ(transport->startTls("127.0.0.1", 1s).code, TransportCode::Closed);
    EXPECT_TRUE(
        ProcessEventsUntil([peer] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(QtPop3TransportTest, ConnectFailuresAreTold) {
    quint16 closedPort = 0;
    {
        LocalServer gone;
        closedPort = gone.serverPort();
    }
    auto transport = trusting_->create();
    EXPECT_EQ(transport->connect("127.0.0.1", closedPort, false, 5s).code, TransportCode::Refused);
    EXPECT_EQ(transport->connect("no-such-host.invalid", 110, false, 5s).code,
              TransportCode::HostNotFound);

    // A listener that accepts but never takes part in a handshake.
    LocalServer silent;
    const pop3::TransportStatus status =
        transport->connect("127.0.0.1", silent.serverPort(), true, 300ms);
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_FALSE(status.detail.empty());
}

TEST_F(QtPop3TransportTest, TlsFromTheStartIsVerifiedAgainstTheAddedCa) {
    LocalServer server(ServerTls(), true);
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer, true);
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([peer] { return peer->isEncrypted(); }));
    peer->write("+OK over TLS\r\n");
    EXPECT_EQ(readLine(*transport), "+OK over TLS\r\n");

    QtPop3TransportFactory systemOnly;
    auto untrusting = systemOnly.create();
    const pop3::TransportStatus status =
        untrusting->connect("127.0.0.1", server.serverPort(), true, 5s);
    EXPECT_EQ(status.code, TransportCode::Tls);
    EXPECT_NE(status.detail.find("certificate"), std::string::npos) << status.detail;
}

TEST_F(QtPop3TransportTest, StartTlsDropsWhatCameBeforeTheHandshake) {
    LocalServer server(ServerTls());
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    // An attacker's line injected after the go-ahead must not be read as a protected answer.
    peer->write("+OK begin TLS\r\n-ERR injected\r\n");
    peer->startServerEncryption();
    EXPECT_EQ(readLine(*transport), "+OK begin TLS\r\n");
    const pop3::TransportStatus status = transport->startTls("127.0.0.1", 5s);
    ASSERT_TRUE(status.ok()) << status.detail;
    ASSERT_TRUE(ProcessEventsUntil([peer] { return peer->isEncrypted(); }));
    peer->write("+OK secure\r\n");
    EXPECT_EQ(readLine(*transport), "+OK secure\r\n");
}

TEST_F(QtPop3TransportTest, PeerLeavingDuringStartTlsIsATlsFailure) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    QTimer::singleShot(50ms, peer, [peer] { peer->abort(); });
    const pop3::TransportStatus status = transport->startTls("127.0.0.1", 5s);
    EXPECT_EQ(status.code, TransportCode::Tls);
    EXPECT_FALSE(status.detail.empty());
}

}  // namespace
}  // namespace breezel
