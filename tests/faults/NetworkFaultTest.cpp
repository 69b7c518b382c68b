// Checks of the program's logic through the real mail library while the network misbehaves: the
// server gone between checks, a connection reset in the middle of RETR and a listener that never
// speaks. Each check must end within its bound and the next check against the healthy private
// Dovecot (box100: 100 messages) must fill the board with "100". A name that does not resolve
// takes the refused connection's road from the transport on (QtTransportTest tells the two
// apart).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>

#include "forms/MsgForm.h"
#include "system/pop3/Dovecot.h"
#include "system/pop3/RunTask.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::Contains;
using ::testing::Not;

// A line the fake message box logged.
const auto kBox = ::testing::StartsWith("box ");

pop3::Pop3Limits ShortLimits() {
    pop3::Pop3Limits limits;
    limits.connectTimeout = 1500ms;
    limits.responseTimeout = 1500ms;
    return limits;
}

/// Forwards connections to Dovecot. After resetAfter bytes from Dovecot (negative: never) it
/// aborts the client's end with a reset, once; the check meanwhile waits in the event loop.
class Forwarder : public QTcpServer {
public:
    explicit Forwarder(qint64 resetAfter = -1) : left_(resetAfter) {
        connect(this, &QTcpServer::newConnection, this,
                [this] { forward(nextPendingConnection()); });
        listen(QHostAddress::LocalHost);
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(serverPort()); }
    bool reset() const { return reset_; }

private:
    void forward(QTcpSocket* client) {
        auto* dovecot = new QTcpSocket(client);
        dovecot->connectToHost(QHostAddress::LocalHost, std::stoi(Env("DOVECOT_POP3_PORT")));
        connect(client, &QTcpSocket::readyRead, dovecot,
                [=] { dovecot->write(client->readAll()); });
        connect(client, &QTcpSocket::disconnected, dovecot, &QTcpSocket::disconnectFromHost);
        connect(dovecot, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        connect(dovecot, &QTcpSocket::readyRead, client, [=, this] {
            QByteArray bytes = dovecot->readAll();
            if (reset_ || left_ < 0) {
                client->write(bytes);
                return;
            }
            bytes.truncate(left_);
            left_ -= bytes.size();
            client->write(bytes);
            if (left_ == 0) {
                client->flush();
                // Closing with a zero linger time sends RST instead of FIN.
                const linger abort{1, 0};
                ::setsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                             &abort, sizeof abort);
                client->abort();
                dovecot->abort();
                reset_ = true;
            }
        });
    }

    qint64 left_;
    bool reset_ = false;
};

class NetworkFaultTest : public DovecotProgramFixture {
protected:
    NetworkFaultTest() : DovecotProgramFixture(ShortLimits()) {}
    void SetUp() override { startFor("box100", DovecotPlain(), messages_); }

    /// One check against server, run in the event loop to its end; how long it took. The
    /// board of an earlier check is closed first and the log cleared.
    Clock::duration check(const std::string& server) {
        program_->closeMsgForm();
        log_.clear();
        program_->settings().Pop3Server = server;
        const auto begin = Clock::now();
        EXPECT_TRUE(RunTask(program_->mailCheck().CheckMail())) << "the check ended";
        return Clock::now() - begin;
    }

    /// A check against the healthy server counts all 100 messages.
    void expectHealthyCheck(const std::string& server = DovecotPlain()) {
        const auto took = check(server);
        ASSERT_TRUE(program_->hasMsgForm()) << ::testing::PrintToString(log_);
        EXPECT_EQ(program_->msgForm().Text2.text(), "100");
        EXPECT_THAT(log_, Not(Contains(kBox)));
        EXPECT_LT(took, 5s);
    }
};

TEST_F(NetworkFaultTest, ServerGoneBetweenChecks) {
    Forwarder server;
    const quint16 port = server.serverPort();
    expectHealthyCheck(server.address());
    server.close();
    const auto took = check(server.address());
    // A refused connection ends the check at once and quietly, as any failed connect does.
    EXPECT_LT(took, 1s);
    EXPECT_FALSE(program_->hasMsgForm());
    EXPECT_THAT(log_, Not(Contains(kBox)));
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, port));
    expectHealthyCheck(server.address());
}

TEST_F(NetworkFaultTest, ResetInTheMiddleOfRetr) {
    // Greeting, CAPA, TLS handshake, login and STAT take a few kilobytes; the 100 messages of
    // 2048 bytes follow, so the reset lands inside the message data.
    Forwarder proxy(60000);
    const auto took = check(proxy.address());
    EXPECT_TRUE(proxy.reset());
    EXPECT_LT(took, ShortLimits().responseTimeout + 1s);
    // The count came with the login: the board still reports it, and the lost messages, which
    // the check only reads past, raise no box.
    ASSERT_TRUE(program_->hasMsgForm()) << ::testing::PrintToString(log_);
    EXPECT_EQ(program_->msgForm().Text2.text(), "100");
    EXPECT_THAT(log_, Not(Contains(kBox)));
    expectHealthyCheck();
}

TEST_F(NetworkFaultTest, ListenerThatNeverSpeaks) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const auto took = check("127.0.0.1:" + std::to_string(silent.serverPort()));
    // The connection stands, so the wait for the greeting ends in the login's error box.
    EXPECT_GE(took, ShortLimits().responseTimeout - 100ms);
    EXPECT_LT(took, ShortLimits().responseTimeout + 1s);
    EXPECT_FALSE(program_->hasMsgForm());
    EXPECT_THAT(log_, Contains(kBox).Times(1));
    EXPECT_THAT(log_, Contains("box エラー: サーバーから応答がありません（時間切れ）"));
    expectHealthyCheck();
}

}  // namespace
}  // namespace breezel
