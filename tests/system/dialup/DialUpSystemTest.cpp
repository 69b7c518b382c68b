// Run by dialup_test.sh, one test suite per state of the system bus: NetworkManager* with the
// mock on it, NoNetworkManager* with the bus alone, NoSystemBus* with no bus at all.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/DialUp.h"
#include "platform/DialUpConnections.h"
#include "platform/qt/NetworkManagerDialUp.h"

namespace breezel {
namespace {

using Clock = std::chrono::steady_clock;
using Settings = QMap<QString, QVariantMap>;

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManager = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
constexpr uint kActivated = 2;

/// Passes every call on and remembers which connections were hung up.
class RecordingDialUp : public DialUpConnections {
public:
    explicit RecordingDialUp(DialUpConnections& real) : real_(real) {}
    bool enumerate(std::vector<std::string>& connections) override {
        return real_.enumerate(connections);
    }
    void hangUp(const std::string& connection) override {
        hungUp.push_back(connection);
        real_.hangUp(connection);
    }

    std::vector<std::string> hungUp;

private:
    DialUpConnections& real_;
};

QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(arguments);
    QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        ADD_FAILURE() << method.toStdString() << ": " << reply.errorName().toStdString() << " "
                      << reply.errorMessage().toStdString();
    }
    return reply;
}

std::vector<std::string> Sorted(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

/// What the mock itself reports as active, read without the adapter.
std::vector<std::string> ActiveConnections() {
    const QDBusMessage reply =
        Call(kManager, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {kService, QStringLiteral("ActiveConnections")});
    const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
    std::vector<std::string> paths;
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(value)) {
        paths.push_back(path.path().toStdString());
    }
    return Sorted(paths);
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class NetworkManager : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qDBusRegisterMetaType<Settings>(); }

    // The mock's Reset does not bring its NetworkManager objects back, so the tests share one
    // device and each takes its active connections away again.
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::systemBus().isConnected());
        const QDBusMessage devices =
            Call(kManager, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {kService, QStringLiteral("Devices")});
        const auto known = qdbus_cast<QList<QDBusObjectPath>>(
            devices.arguments().value(0).value<QDBusVariant>().variant());
        if (known.isEmpty()) {
            // The mock deactivates through its devices, so one must exist.
            const QDBusMessage device =
                Call(kManager, kMock, QStringLiteral("AddEthernetDevice"),
                     {QStringLiteral("mock_Ethernet1"), QStringLiteral("eth0"), 100});
            ethernet_ = device.arguments().value(0).toString();
        } else {
            ethernet_ = known.first().path();
        }
        ASSERT_TRUE(ethernet_.startsWith(kManager));
        ASSERT_TRUE(ActiveConnections().empty());
    }

    void TearDown() override {
        for (const QString& path : activated_) {
            Call(kManager, kMock, QStringLiteral("RemoveActiveConnection"), {ethernet_, path});
        }
        Call(kManager, kMock, QStringLiteral("SetProperty"),
             {kManager, kService, QStringLiteral("ActiveConnections"),
              QVariant::fromValue(QDBusVariant(QVariant::fromValue(QList<QDBusObjectPath>{})))});
    }

    /// Adds a saved connection of the type and activates it; returns the active connection.
    std::string activate(const QString& type) {
        Settings settings;
        settings[QStringLiteral("connection")] = QVariantMap{
            {QStringLiteral("type"), type}, {QStringLiteral("id"), type + QStringLiteral("-link")}};
        const QDBusMessage added =
            Call(QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
                 QStringLiteral("org.freedesktop.NetworkManager.Settings"),
                 QStringLiteral("AddConnection"), {QVariant::fromValue(settings)});
        const QString connection = added.arguments().value(0).value<QDBusObjectPath>().path();
        const QStringList devices =
            type == QLatin1String("802-3-ethernet") ? QStringList{ethernet_} : QStringList{};
        const QDBusMessage active =
            Call(kManager, kMock, QStringLiteral("AddActiveConnection"),
                 {devices, connection, QStringLiteral("/"), QString::number(next_++), kActivated});
        activated_.append(active.arguments().value(0).toString());
        return activated_.back().toStdString();
    }

    NetworkManagerDialUp dialUp_;

private:
    QString ethernet_;
    static inline int next_ = 0;
    QStringList activated_;
};

TEST_F(NetworkManager, HangsUpTheDialUpConnectionsAndLeavesEthernetUp) {
    const std::string gsm = activate(QStringLiteral("gsm"));
    const std::string wired = activate(QStringLiteral("802-3-ethernet"));
    const std::string pppoe = activate(QStringLiteral("pppoe"));
    ASSERT_EQ(ActiveConnections(), Sorted({gsm, wired, pppoe}));

    RecordingDialUp recording(dialUp_);
    HangUpDialUpConnections(recording);

    EXPECT_EQ(Sorted(recording.hungUp), Sorted({gsm, pppoe}));
    EXPECT_EQ(ActiveConnections(), std::vector<std::string>{wired});
}

TEST_F(NetworkManager, ListsEveryDialUpTypeAndNoOther) {
    std::vector<std::string> dialUp;
    for (const char* type : {"gsm", "cdma", "pppoe", "adsl", "bluetooth"}) {
        dialUp.push_back(activate(QString::fromLatin1(type)));
    }
    for (const char* type : {"802-3-ethernet", "802-11-wireless", "vpn", "wireguard"}) {
        activate(QString::fromLatin1(type));
    }

    std::vector<std::string> listed{"left over"};
    EXPECT_TRUE(dialUp_.enumerate(listed));
    EXPECT_EQ(Sorted(listed), Sorted(dialUp));
}

TEST_F(NetworkManager, AnActiveConnectionThatCannotBeReadFailsTheListAndNothingIsHungUp) {
    const std::string gsm = activate(QStringLiteral("gsm"));
    const std::string missing = "/org/freedesktop/NetworkManager/ActiveConnection/99";
    QList<QDBusObjectPath> active{QDBusObjectPath(QString::fromStdString(gsm)),
                                  QDBusObjectPath(QString::fromStdString(missing))};
    Call(kManager, kMock, QStringLiteral("SetProperty"),
         {kManager, kService, QStringLiteral("ActiveConnections"),
          QVariant::fromValue(QDBusVariant(QVariant::fromValue(active)))});

    std::vector<std::string> listed;
    EXPECT_FALSE(dialUp_.enumerate(listed));

    RecordingDialUp recording(dialUp_);
    HangUpDialUpConnections(recording);
    EXPECT_TRUE(recording.hungUp.empty());
    EXPECT_EQ(ActiveConnections(), Sorted({gsm, missing}));
}

/// Resumes the stopped mock however the test ends.
class Resume {
public:
    explicit Resume(pid_t pid) : pid_(pid) {}
    ~Resume() { ::kill(pid_, SIGCONT); }

private:
    pid_t pid_;
};

TEST_F(NetworkManager, AHungServiceCostsSecondsNotTheDefaultTimeout) {
    const std::string gsm = activate(QStringLiteral("gsm"));
    const char* pid = std::getenv("DIALUP_MOCK_PID");
    ASSERT_NE(pid, nullptr) << "dialup_test.sh passes the mock's PID";
    const Resume resume(std::atoi(pid));
    ASSERT_EQ(::kill(std::atoi(pid), SIGSTOP), 0);

    std::vector<std::string> listed;
    Clock::time_point start = Clock::now();
    const bool ok = dialUp_.enumerate(listed);
    const double listing = SecondsSince(start);
    start = Clock::now();
    dialUp_.hangUp(gsm);
    const double hangingUp = SecondsSince(start);

    EXPECT_FALSE(ok);
    // At least a second shows the call really waited on the stopped service.
    EXPECT_GE(listing, 1.0);
    EXPECT_LT(listing, 4.0);
    EXPECT_GE(hangingUp, 1.0);
    EXPECT_LT(hangingUp, 4.0);
}

TEST(NoNetworkManager, ListsNothingCallsNothingAndStartsNothing) {
    ASSERT_TRUE(QDBusConnection::systemBus().isConnected());
    NetworkManagerDialUp dialUp;
    RecordingDialUp recording(dialUp);
    std::vector<std::string> listed{"left over"};

    EXPECT_TRUE(recording.enumerate(listed));
    EXPECT_TRUE(listed.empty());
    HangUpDialUpConnections(recording);
    EXPECT_TRUE(recording.hungUp.empty());

    // The bus could start NetworkManager on demand: the script's activation file touches this.
    dialUp.hangUp("/org/freedesktop/NetworkManager/ActiveConnection/0");
    const char* marker = std::getenv("DIALUP_ACTIVATION_MARKER");
    ASSERT_NE(marker, nullptr) << "dialup_test.sh passes the activation marker";
    EXPECT_FALSE(QFileInfo::exists(QString::fromLocal8Bit(marker)));
}

TEST(NoSystemBus, ListsNothingAtOnce) {
    NetworkManagerDialUp dialUp;
    const Clock::time_point start = Clock::now();
    std::vector<std::string> listed{"left over"};
    const bool ok = dialUp.enumerate(listed);
    dialUp.hangUp("/org/freedesktop/NetworkManager/ActiveConnection/0");
    const double took = SecondsSince(start);

    EXPECT_FALSE(QDBusConnection::systemBus().isConnected());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(listed.empty());
    EXPECT_LT(took, 1.0);
}

}  // namespace
}  // namespace breezel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
