#include "qt/SystemBusEvents.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <functional>
#include <utility>

namespace breezel {

namespace {

// A hung service must not leave a call waiting for QtDBus's 25 s.
constexpr int kCallTimeoutMs = 2000;
// Sleep is never held back longer than this, whatever a listener does.
constexpr int kDelayLimitMs = 1000;

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kNetwork = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNetworkPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// NetworkManager's NMState: 0 unknown, 10 asleep up to 40 connecting, 50 local, 60 site,
// 70 global. A local or site link is enough for a server on the same network.
constexpr uint kStateUnknown = 0;
constexpr uint kStateConnectedLocal = 50;

void Send(QObject* owner, const QDBusMessage& call,
          std::function<void(const QDBusMessage&)> replied) {
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(call, kCallTimeoutMs), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner,
                     [replied = std::move(replied)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         replied(finished->reply());
                     });
}

}  // namespace

SystemBusEvents::SystemBusEvents() {
    lockLimit_.setSingleShot(true);
    lockLimit_.setInterval(kDelayLimitMs);
    connect(&lockLimit_, &QTimer::timeout, this, [this] { releaseLock(); });
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(kLogin, kLoginPath, kLoginManager, QStringLiteral("PrepareForSleep"), this,
                SLOT(prepareForSleep(bool)));
    bus.connect(kNetwork, kNetworkPath, kNetwork, QStringLiteral("StateChanged"), this,
                SLOT(managerStateChanged(uint)));
    bus.connect(kNetwork, kNetworkPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(managerPropertiesChanged(QString, QVariantMap, QStringList)));
    managerWatcher_ =
        new QDBusServiceWatcher(kNetwork, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(managerWatcher_, &QDBusServiceWatcher::serviceRegistered, this,
            [this] { readManager(); });
    connect(managerWatcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        managerState_ = kStateUnknown;
        primary_.clear();
        setManager({});
    });
    readManager();
    takeLock();
}

SystemBusEvents::~SystemBusEvents() = default;

void SystemBusEvents::takeLock() {
    QDBusMessage call = QDBusMessage::createMethodCall(kLogin, kLoginPath, kLoginManager,
                                                       QStringLiteral("Inhibit"));
    call.setAutoStartService(false);
    call << QStringLiteral("sleep") << QStringLiteral("Breezel")
         << QStringLiteral("メールサーバーからログアウトします") << QStringLiteral("delay");
    const std::uint64_t sleeps = sleeps_;
    Send(this, call, [this, sleeps](const QDBusMessage& reply) {
        const auto fd = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
        // A sleep announced meanwhile finds no lock to wait for: this one comes too late.
        if (reply.type() != QDBusMessage::ReplyMessage || !fd.isValid() || sleeps != sleeps_) {
            return;
        }
        // Our own duplicate: the reply's copy goes with the reply.
        QDBusUnixFileDescriptor own;
        own.setFileDescriptor(fd.fileDescriptor());
        lock_ = own;
    });
}

void SystemBusEvents::releaseLock() {
    lockLimit_.stop();
    lock_ = QDBusUnixFileDescriptor();
}

void SystemBusEvents::prepareForSleep(bool going) {
    if (!going) {
        releaseLock();
        takeLock();
        woke.notify();
        return;
    }
    const std::uint64_t sleep = ++sleeps_;
    lockLimit_.start();
    QPointer<SystemBusEvents> self(this);
    SleepDelay delay(nullptr, [self, sleep](void*) {
        if (self && self->sleeps_ == sleep) {
            self->releaseLock();
        }
    });
    sleeping.notify(delay);
}

void SystemBusEvents::readManager() {
    QDBusMessage call = QDBusMessage::createMethodCall(kNetwork, kNetworkPath, kProperties,
                                                       QStringLiteral("GetAll"));
    call.setAutoStartService(false);
    call << kNetwork;
    Send(this, call, [this](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage) {
            setManager(qdbus_cast<QVariantMap>(reply.arguments().value(0)));
        }
    });
}

void SystemBusEvents::managerStateChanged(uint state) {
    setManager({{QStringLiteral("State"), state}});
}

void SystemBusEvents::managerPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                               const QStringList&) {
    if (interface == kNetwork) {
        setManager(changed);
    }
}

void SystemBusEvents::setManager(const QVariantMap& properties) {
    if (const auto state = properties.find(QStringLiteral("State")); state != properties.end()) {
        managerState_ = state->toUInt();
    }
    if (const auto primary = properties.find(QStringLiteral("PrimaryConnection"));
        primary != properties.end()) {
        primary_ = primary->value<QDBusObjectPath>().path();
    }
    NetworkState network;
    if (managerState_ != kStateUnknown) {
        network.reach = managerState_ >= kStateConnectedLocal ? NetworkState::Reach::Up
                                                              : NetworkState::Reach::Down;
    }
    if (network.reach == NetworkState::Reach::Up && primary_ != QLatin1String("/")) {
        network.link = primary_.toStdString();
    }
    if (network != network_) {
        network_ = std::move(network);
        networkChanged.notify();
    }
}

}  // namespace breezel
