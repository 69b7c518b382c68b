// The QSslSocket transport against servers in the test's own thread: line framing, limits,
// failures of the connection, TLS verification and the STLS upgrade, the session's time bounds,
// and waits that end in the event loop without holding it.
#include <gtest/gtest.h>

#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

#include "LocalServer.h"
#include "RunTask.h"
#include "pop3/Pace.h"
#include "qt/QtPop3TransportFactory.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;
using pop3::TransportCode;
using pop3::TransportStatus;

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

/// The status a transport task ended with; a task that did not end within 10 s fails the test.
TransportStatus Ended(Task<TransportStatus> task) {
    std::optional<TransportStatus> status = RunTask(std::move(task), 10s);
    EXPECT_TRUE(status.has_value()) << "the task did not end";
    return status.value_or(TransportStatus{TransportCode::Other, "did not end"});
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
        const TransportStatus status =
            Ended(transport->connect("127.0.0.1", server.serverPort(), tls, 5s, pace_));
        EXPECT_TRUE(status.ok()) << status.detail;
        peer = server.waitForClient();
        EXPECT_NE(peer, nullptr);
        return transport;
    }

    std::string readLine(pop3::Transport& transport, std::size_t maxBytes = 1024) {
        std::string line;
        const TransportStatus status = Ended(transport.readLine(line, maxBytes, 5s, pace_));
        EXPECT_TRUE(status.ok()) << status.detail;
        return line;
    }

    static inline QtPop3TransportFactory* trusting_ = nullptr;
    static inline bool trustsTestCa_ = false;
    pop3::Pace pace_{pop3::Pop3Limits{}};
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
    EXPECT_EQ(Ended(transport->readLine(line, 8, 5s, pace_)).code, TransportCode::LineTooLong);
    EXPECT_EQ(line, "12345678");
}

TEST_F(QtPop3TransportTest, SilenceTimesOutAndLeavesTheConnectionUsable) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    std::string line;
    const TransportStatus status = Ended(transport->readLine(line, 1024, 200ms, pace_));
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_EQ(status.detail, "no answer from the server within 0.2 s");

    ASSERT_TRUE(transport->write("NOOP\r\n").ok());
    ASSERT_TRUE(ProcessEventsUntil([peer] { return peer->canReadLine(); }));
    EXPECT_EQ(peer->readLine().toStdString(), "NOOP\r\n");
    peer->write("+OK\r\n");
    EXPECT_EQ(readLine(*transport), "+OK\r\n");
}

// One byte every 100 ms keeps every single wait short; the session's low-speed rule still ends
// it, inside the transport's wait, which all along left the event loop to everything else.
TEST_F(QtPop3TransportTest, ADrippingServerIsGivenUpWhileTheEventLoopRunsOn) {
    pop3::Pop3Limits limits;
    limits.lowSpeedTime = 1s;
    pop3::Pace pace(limits);
    LocalServer server;
    auto transport = trusting_->create();
    const auto opened = std::chrono::steady_clock::now();
    ASSERT_TRUE(Ended(transport->connect("127.0.0.1", server.serverPort(), false, 5s, pace)).ok());
    QSslSocket* peer = server.waitForClient();
    ASSERT_NE(peer, nullptr);
    QTimer drip;
    QObject::connect(&drip, &QTimer::timeout, peer, [peer] { peer->write("x"); });
    drip.start(100ms);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20ms);

    std::string line;
    Task<TransportStatus> read = transport->readLine(line, 1024, 5s, pace);
    read.start();
    ASSERT_FALSE(read.done()) << "the wait must hand the thread back, not run a loop of its own";
    ASSERT_TRUE(ProcessEventsUntil([&read] { return read.done(); }));
    const TransportStatus status = read.result();
    const auto took = std::chrono::steady_clock::now() - opened;
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_EQ(status.detail, "less than 1 KB from the server in 1 s");
    EXPECT_GE(took, 1s);
    EXPECT_LT(took, 3s);
    EXPECT_GE(ticks, 10);
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
    EXPECT_EQ(Ended(transport->readLine(line, 1024, 5s, pace_)).code, TransportCode::Closed);
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
    EXPECT_EQ(Ended(transport->readLine(line, 1024, 1s, pace_)).code, TransportCode::Closed);
    EXPECT_EQ(transport->write("QUIT\r\n").code, TransportCode::Closed);
    EXPECT_EQ(Ended(transport->startTls("127.0.0.1", 1s)).code, TransportCode::Closed);
    EXPECT_TRUE(
        ProcessEventsUntil([peer] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

// A task resumed by the socket may destroy the transport inside the socket's signal; a task
// destroyed while it waits is never resumed; a destroyed transport resumes nothing.
TEST_F(QtPop3TransportTest, AWaitAndItsTransportMayEachGoFirst) {
    LocalServer server;
    QSslSocket* peer = nullptr;
    auto transport = connect(server, peer);
    ASSERT_NE(peer, nullptr);

    TaskScope scope;
    std::string line;
    scope.spawn([](pop3::Transport& transport, std::string& line, pop3::Pace& pace) -> Task<> {
        (void)co_await transport.readLine(line, 1024, 100ms, pace);
    }(*transport, line, pace_));
    scope.cancelAll();
    // Both the arrival and the cancelled read's deadline pass before anyone reads again.
    peer->write("+OK 1\r\n");
    bool passed = false;
    QTimer::singleShot(300ms, [&passed] { passed = true; });
    ASSERT_TRUE(ProcessEventsUntil([&passed] { return passed; }));
    EXPECT_EQ(readLine(*transport), "+OK 1\r\n");

    std::optional<TransportStatus> second;
    auto readThenDestroy = [](std::unique_ptr<pop3::Transport>& transport, std::string& line,
                              pop3::Pace& pace, std::optional<TransportStatus>& status) -> Task<> {
        status = co_await transport->readLine(line, 1024, 5s, pace);
        transport.reset();
    };
    scope.spawn(readThenDestroy(transport, line, pace_, second));
    peer->write("+OK 2\r\n");
    ASSERT_TRUE(ProcessEventsUntil([&second] { return second.has_value(); }));
    EXPECT_TRUE(second->ok());
    EXPECT_EQ(line, "+OK 2\r\n");
    EXPECT_TRUE(
        ProcessEventsUntil([peer] { return peer->state() == QAbstractSocket::UnconnectedState; }));

    QSslSocket* other = nullptr;
    transport = connect(server, other);
    ASSERT_NE(other, nullptr);
    std::optional<TransportStatus> third;
    scope.spawn(readThenDestroy(transport, line, pace_, third));
    ASSERT_EQ(scope.size(), 1u);
    transport.reset();
    other->write("+OK 3\r\n");
    other->disconnectFromHost();
    ProcessEventsUntil([] { return false; }, 200ms);
    EXPECT_FALSE(third.has_value());
    EXPECT_EQ(scope.size(), 1u);
}

TEST_F(QtPop3TransportTest, ConnectFailuresAreTold) {
    quint16 closedPort = 0;
    {
        LocalServer gone;
        closedPort = gone.serverPort();
    }
    auto transport = trusting_->create();
    EXPECT_EQ(Ended(transport->connect("127.0.0.1", closedPort, false, 5s, pace_)).code,
              TransportCode::Refused);
    EXPECT_EQ(Ended(transport->connect("no-such-host.invalid", 110, false, 5s, pace_)).code,
              TransportCode::HostNotFound);

    // A listener that accepts but never takes part in a handshake.
    LocalServer silent;
    const TransportStatus status =
        Ended(transport->connect("127.0.0.1", silent.serverPort(), true, 300ms, pace_));
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_EQ(status.detail, "no connection to 127.0.0.1:" + std::to_string(silent.serverPort()) +
                                 " within 0.3 s");
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
    const TransportStatus status =
        Ended(untrusting->connect("127.0.0.1", server.serverPort(), true, 5s, pace_));
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
    const TransportStatus status = Ended(transport->startTls("127.0.0.1", 5s));
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
    const TransportStatus status = Ended(transport->startTls("127.0.0.1", 5s));
    EXPECT_EQ(status.code, TransportCode::Tls);
    EXPECT_FALSE(status.detail.empty());
}

}  // namespace
}  // namespace breezel
