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
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/Task.h"
#include "mail/DialUp.h"
#include "platform/DialUpConnections.h"
#include "qt/NetworkManagerDialUp.h"
#include "system/pop3/RunTask.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Settings = QMap<QString, QVariantMap>;

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManager = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
constexpr uint kActivated = 2;

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

/// A list of paths NetworkManager itself holds, as the mock reports it, read without the adapter.
QList<QDBusObjectPath> ManagerPaths(const QString& property) {
    const QDBusMessage reply = Call(kManager, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {kService, property});
    return qdbus_cast<QList<QDBusObjectPath>>(
        reply.arguments().value(0).value<QDBusVariant>().variant());
}

std::vector<std::string> ActiveConnections() {
    std::vector<std::string> paths;
    for (const QDBusObjectPath& path : ManagerPaths(QStringLiteral("ActiveConnections"))) {
        paths.push_back(path.path().toStdString());
    }
    return Sorted(paths);
}

/// Makes the mock report these active connections, whether they exist or not.
void SetActiveConnections(const QList<QDBusObjectPath>& active) {
    Call(kManager, kMock, QStringLiteral("SetProperty"),
         {kManager, kService, QStringLiteral("ActiveConnections"),
          QVariant::fromValue(QDBusVariant(QVariant::fromValue(active)))});
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// What one listing answered, and when. Shared with the callback, which may outlive a test
/// that gave up waiting.
struct Listing {
    int answers = 0;
    bool answeredInside = false;
    DialUpConnections::List connections;
    Clock::time_point answeredAt;
};

std::shared_ptr<Listing> StartListing(DialUpConnections& dialUp) {
    auto listing = std::make_shared<Listing>();
    auto inside = std::make_shared<bool>(true);
    dialUp.enumerate([listing, inside](DialUpConnections::List connections) {
        ++listing->answers;
        listing->answeredInside = *inside;
        listing->connections = std::move(connections);
        listing->answeredAt = Clock::now();
    });
    *inside = false;
    return listing;
}

/// Lists and waits for the answer, and a little longer for any second answer.
std::shared_ptr<Listing> List(DialUpConnections& dialUp) {
    auto listing = StartListing(dialUp);
    EXPECT_TRUE(RunUntil([&] { return listing->answers > 0; })) << "the listing never answered";
    RunUntil([] { return false; }, 100ms);
    return listing;
}

class NetworkManager : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qDBusRegisterMetaType<Settings>(); }

    // The mock's Reset does not bring its NetworkManager objects back, so the tests share one
    // device and each takes its active connections away again.
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::systemBus().isConnected());
        const QList<QDBusObjectPath> known = ManagerPaths(QStringLiteral("Devices"));
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
        SetActiveConnections({});
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

TEST_F(NetworkManager, ListsAndHangsUpEveryDialUpTypeAndNoOther) {
    std::vector<std::string> dialUp;
    std::vector<std::string> others;
    for (const char* type : {"gsm", "cdma", "pppoe", "adsl", "bluetooth"}) {
        dialUp.push_back(activate(QString::fromLatin1(type)));
    }
    for (const char* type : {"802-3-ethernet", "802-11-wireless", "vpn", "wireguard"}) {
        others.push_back(activate(QString::fromLatin1(type)));
    }
    ASSERT_EQ(ActiveConnections().size(), dialUp.size() + others.size());

    const auto listing = List(dialUp_);
    EXPECT_EQ(listing->answers, 1);
    EXPECT_FALSE(listing->answeredInside) << "a bus call is answered from the event loop";
    ASSERT_TRUE(listing->connections.has_value());
    EXPECT_EQ(Sorted(*listing->connections), Sorted(dialUp));

    EXPECT_TRUE(RunTask(HangUpDialUpConnections(dialUp_))) << "the hang-up never ended";
    // The bus keeps our calls in order: the deactivations are done before this read.
    EXPECT_EQ(ActiveConnections(), Sorted(others));
}

TEST_F(NetworkManager, AnActiveConnectionThatCannotBeReadFailsTheListAndNothingIsHungUp) {
    const std::string gsm = activate(QStringLiteral("gsm"));
    const std::string missing = "/org/freedesktop/NetworkManager/ActiveConnection/99";
    SetActiveConnections({QDBusObjectPath(QString::fromStdString(gsm)),
                          QDBusObjectPath(QString::fromStdString(missing))});

    const auto listing = List(dialUp_);
    EXPECT_EQ(listing->answers, 1);
    EXPECT_FALSE(listing->connections.has_value());

    EXPECT_TRUE(RunTask(HangUpDialUpConnections(dialUp_))) << "the hang-up never ended";
    EXPECT_EQ(ActiveConnections(), Sorted({gsm, missing}));
}

/// Resumes the stopped mock however the test ends.
struct Resume {
    pid_t pid;
    ~Resume() { ::kill(pid, SIGCONT); }
};

TEST_F(NetworkManager, AHungServiceHoldsNothingUpAndFailsTheListAfterSeconds) {
    const std::string gsm = activate(QStringLiteral("gsm"));
    const char* pid = std::getenv("DIALUP_MOCK_PID");
    ASSERT_NE(pid, nullptr) << "dialup_test.sh passes the mock's PID";
    const Resume resume{std::atoi(pid)};
    ASSERT_EQ(::kill(std::atoi(pid), SIGSTOP), 0);

    std::vector<Clock::time_point> ticks;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&ticks] { ticks.push_back(Clock::now()); });
    timer.start(50);

    // An adapter that goes while its listing waits must never answer it.
    auto doomed = std::make_unique<NetworkManagerDialUp>();
    const auto unanswered = StartListing(*doomed);
    doomed.reset();

    // Neither call may wait for the stopped service before it returns.
    const Clock::time_point start = Clock::now();
    const auto listing = StartListing(dialUp_);
    dialUp_.hangUp(gsm);
    const double returned = SecondsSince(start);
    ASSERT_TRUE(RunUntil([&] { return listing->answers > 0; }));
    RunUntil([] { return false; }, 200ms);

    EXPECT_LT(returned, 0.1);
    const auto ticked = std::count_if(ticks.begin(), ticks.end(), [&](Clock::time_point tick) {
        return tick < listing->answeredAt;
    });
    EXPECT_GE(ticked, 10) << "the event loop was held while the service was asked";
    const double answered = std::chrono::duration<double>(listing->answeredAt - start).count();
    // At least a second shows the call really waited on the stopped service.
    EXPECT_GE(answered, 1.0);
    EXPECT_LT(answered, 4.0);
    EXPECT_EQ(listing->answers, 1);
    EXPECT_FALSE(listing->connections.has_value());
    EXPECT_EQ(unanswered->answers, 0);
}

TEST(NoNetworkManager, ListsNothingCallsNothingAndStartsNothing) {
    ASSERT_TRUE(QDBusConnection::systemBus().isConnected());
    NetworkManagerDialUp dialUp;

    // The bus could start NetworkManager on demand: the script's activation file touches this.
    dialUp.hangUp("/org/freedesktop/NetworkManager/ActiveConnection/0");
    const auto listing = List(dialUp);
    EXPECT_EQ(listing->answers, 1);
    EXPECT_FALSE(listing->answeredInside) << "a bus call is answered from the event loop";
    EXPECT_EQ(listing->connections, DialUpConnections::List(std::vector<std::string>{}));
    EXPECT_TRUE(RunTask(HangUpDialUpConnections(dialUp))) << "the hang-up never ended";

    // The bus takes our calls in order, so any start the hang-up asked for is under way by now.
    const char* marker = std::getenv("DIALUP_ACTIVATION_MARKER");
    ASSERT_NE(marker, nullptr) << "dialup_test.sh passes the activation marker";
    EXPECT_FALSE(
        RunUntil([&] { return QFileInfo::exists(QString::fromLocal8Bit(marker)); }, 500ms));
}

TEST(NoSystemBus, ListsNothingAtOnce) {
    NetworkManagerDialUp dialUp;
    const Clock::time_point start = Clock::now();
    const auto listing = StartListing(dialUp);
    dialUp.hangUp("/org/freedesktop/NetworkManager/ActiveConnection/0");
    EXPECT_TRUE(RunUntil([&] { return listing->answers > 0; }));
    const double took = SecondsSince(start);

    EXPECT_FALSE(QDBusConnection::systemBus().isConnected());
    EXPECT_EQ(listing->answers, 1);
    EXPECT_EQ(listing->connections, DialUpConnections::List(std::vector<std::string>{}));
    EXPECT_LT(took, 1.0);
}

}  // namespace
}  // namespace breezel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
