// The QSslSocket transport against servers in the test's own thread: line framing, limits,
// failures of the connection, the STLS upgrade, the session's time bounds, and waits that end in
// the event loop without holding it.
#include <gtest/gtest.h>

#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

#include "Dovecot.h"
#include "LocalServer.h"
#include "RunTask.h"
#include "net/Pace.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;
using net::TransportCode;
using net::TransportStatus;

/// The test server's side of TLS: the certificate run_dovecot_tests.sh made for Dovecot.
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

bool Unconnected(QSslSocket* peer) {
    return RunUntil([peer] { return peer->state() == QAbstractSocket::UnconnectedState; });
}

class QtTransportTest : public ::testing::Test {
protected:
    /// Connects transport_ to server_; whether peer_, the server's end, came.
    bool open() {
        transport_ = TrustingTransports().create();
        const TransportStatus status =
            Ended(transport_->connect("127.0.0.1", server_.serverPort(), false, 5s, pace_));
        EXPECT_TRUE(status.ok()) << status.detail;
        peer_ = server_.waitForClient();
        return peer_ != nullptr;
    }

    std::string readLine(std::size_t maxBytes = 1024) {
        std::string line;
        const TransportStatus status = Ended(transport_->readLine(line, maxBytes, 5s, pace_));
        EXPECT_TRUE(status.ok()) << status.detail;
        return line;
    }

    /// How a read that should fail ended.
    TransportCode failedRead(std::chrono::milliseconds wait = 5s) {
        std::string line;
        return Ended(transport_->readLine(line, 1024, wait, pace_)).code;
    }

    LocalServer server_{ServerTls()};
    QSslSocket* peer_ = nullptr;
    std::unique_ptr<net::Transport> transport_;
    net::Pace pace_{pop3::Pop3Limits{}};
};

TEST_F(QtTransportTest, LinesAreCutFromArrivalsWhateverTheirBoundaries) {
    ASSERT_TRUE(open());
    peer_->write("+OK first\r\n+OK sec");
    // The rest comes while the transport waits: its wait must let this timer run.
    QTimer::singleShot(50ms, peer_, [peer = peer_] { peer->write("ond\r\n.\r\n"); });
    EXPECT_EQ(readLine(), "+OK first\r\n");
    EXPECT_EQ(readLine(), "+OK second\r\n");
    EXPECT_EQ(readLine(), ".\r\n");
}

TEST_F(QtTransportTest, LineWithoutEndWithinTheLimitIsTooLong) {
    ASSERT_TRUE(open());
    peer_->write("1234567\n123456789\n");
    EXPECT_EQ(readLine(8), "1234567\n");
    std::string line;
    EXPECT_EQ(Ended(transport_->readLine(line, 8, 5s, pace_)).code, TransportCode::LineTooLong);
    EXPECT_EQ(line, "12345678");
}

TEST_F(QtTransportTest, SilenceTimesOutAndLeavesTheConnectionUsable) {
    ASSERT_TRUE(open());
    std::string line;
    const TransportStatus status = Ended(transport_->readLine(line, 1024, 200ms, pace_));
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_EQ(status.detail, "no answer from the server within 0.2 s");

    ASSERT_TRUE(transport_->write("NOOP\r\n").ok());
    ASSERT_TRUE(RunUntil([this] { return peer_->canReadLine(); }));
    EXPECT_EQ(peer_->readLine().toStdString(), "NOOP\r\n");
    peer_->write("+OK\r\n");
    EXPECT_EQ(readLine(), "+OK\r\n");
}

// One byte every 100 ms keeps every single wait short; the session's low-speed rule still ends
// it, inside the transport's wait, which all along left the event loop to everything else.
TEST_F(QtTransportTest, ADrippingServerIsGivenUpWhileTheEventLoopRunsOn) {
    pop3::Pop3Limits limits;
    limits.lowSpeedTime = 1s;
    net::Pace pace(limits);
    auto transport = TrustingTransports().create();
    const auto opened = std::chrono::steady_clock::now();
    ASSERT_TRUE(Ended(transport->connect("127.0.0.1", server_.serverPort(), false, 5s, pace)).ok());
    QSslSocket* peer = server_.waitForClient();
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
    ASSERT_TRUE(RunUntil([&read] { return read.done(); }));
    const TransportStatus status = read.result();
    const auto took = std::chrono::steady_clock::now() - opened;
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_EQ(status.detail, "less than 1 KB from the server in 1 s");
    EXPECT_GE(took, 1s);
    EXPECT_LT(took, 3s);
    EXPECT_GE(ticks, 10);
}

TEST_F(QtTransportTest, LinesSentBeforeThePeerClosedAreReadThenClosedIsReported) {
    ASSERT_TRUE(open());
    peer_->write("+OK a\r\n+OK b\r\npartial");
    peer_->disconnectFromHost();
    EXPECT_EQ(readLine(), "+OK a\r\n");
    EXPECT_EQ(readLine(), "+OK b\r\n");
    EXPECT_EQ(failedRead(), TransportCode::Closed);
    EXPECT_EQ(transport_->write("QUIT\r\n").code, TransportCode::Closed);
}

TEST_F(QtTransportTest, ClosedTransportRefusesEveryCall) {
    ASSERT_TRUE(open());
    peer_->write("+OK\r\n");
    transport_->close();
    EXPECT_EQ(failedRead(1s), TransportCode::Closed);
    EXPECT_EQ(transport_->write("QUIT\r\n").code, TransportCode::Closed);
    EXPECT_EQ(Ended(transport_->startTls("127.0.0.1", 1s)).code, TransportCode::Closed);
    EXPECT_TRUE(Unconnected(peer_));
}

// A task resumed by the socket may destroy the transport inside the socket's signal; a task
// destroyed while it waits is never resumed; a destroyed transport resumes nothing.
TEST_F(QtTransportTest, AWaitAndItsTransportMayEachGoFirst) {
    ASSERT_TRUE(open());
    TaskScope scope;
    std::string line;
    scope.spawn([](net::Transport& transport, std::string& line, net::Pace& pace) -> Task<> {
        (void)co_await transport.readLine(line, 1024, 100ms, pace);
    }(*transport_, line, pace_));
    scope.cancelAll();
    // Both the arrival and the cancelled read's deadline pass before anyone reads again.
    peer_->write("+OK 1\r\n");
    RunUntil([] { return false; }, 300ms);
    EXPECT_EQ(readLine(), "+OK 1\r\n");

    std::optional<TransportStatus> second;
    auto readThenDestroy = [](std::unique_ptr<net::Transport>& transport, std::string& line,
                              net::Pace& pace, std::optional<TransportStatus>& status) -> Task<> {
        status = co_await transport->readLine(line, 1024, 5s, pace);
        transport.reset();
    };
    scope.spawn(readThenDestroy(transport_, line, pace_, second));
    peer_->write("+OK 2\r\n");
    ASSERT_TRUE(RunUntil([&second] { return second.has_value(); }));
    EXPECT_TRUE(second->ok());
    EXPECT_EQ(line, "+OK 2\r\n");
    EXPECT_TRUE(Unconnected(peer_));

    ASSERT_TRUE(open());
    std::optional<TransportStatus> third;
    scope.spawn(readThenDestroy(transport_, line, pace_, third));
    ASSERT_EQ(scope.size(), 1u);
    transport_.reset();
    peer_->write("+OK 3\r\n");
    peer_->disconnectFromHost();
    RunUntil([] { return false; }, 200ms);
    EXPECT_FALSE(third.has_value());
    EXPECT_EQ(scope.size(), 1u);
}

TEST_F(QtTransportTest, ConnectFailuresAreTold) {
    quint16 closedPort = 0;
    {
        LocalServer gone;
        closedPort = gone.serverPort();
    }
    auto transport = TrustingTransports().create();
    EXPECT_EQ(Ended(transport->connect("127.0.0.1", closedPort, false, 5s, pace_)).code,
              TransportCode::Refused);
    EXPECT_EQ(Ended(transport->connect("no-such-host.invalid", 110, false, 5s, pace_)).code,
              TransportCode::HostNotFound);

    // server_ accepts but never takes part in a handshake.
    const TransportStatus status =
        Ended(transport->connect("127.0.0.1", server_.serverPort(), true, 300ms, pace_));
    EXPECT_EQ(status.code, TransportCode::Timeout);
    EXPECT_EQ(status.detail, "no connection to 127.0.0.1:" + std::to_string(server_.serverPort()) +
                                 " within 0.3 s");
}

TEST_F(QtTransportTest, StartTlsDropsWhatCameBeforeTheHandshake) {
    ASSERT_TRUE(open());
    // An attacker's line injected after the go-ahead must not be read as a protected answer.
    peer_->write("+OK begin TLS\r\n-ERR injected\r\n");
    peer_->startServerEncryption();
    EXPECT_EQ(readLine(), "+OK begin TLS\r\n");
    const TransportStatus status = Ended(transport_->startTls("127.0.0.1", 5s));
    ASSERT_TRUE(status.ok()) << status.detail;
    ASSERT_TRUE(RunUntil([this] { return peer_->isEncrypted(); }));
    peer_->write("+OK secure\r\n");
    EXPECT_EQ(readLine(), "+OK secure\r\n");
}

TEST_F(QtTransportTest, PeerLeavingDuringStartTlsIsATlsFailure) {
    ASSERT_TRUE(open());
    QTimer::singleShot(50ms, peer_, [peer = peer_] { peer->abort(); });
    const TransportStatus status = Ended(transport_->startTls("127.0.0.1", 5s));
    EXPECT_EQ(status.code, TransportCode::Tls);
    EXPECT_FALSE(status.detail.empty());
}

}  // namespace
}  // namespace breezel
