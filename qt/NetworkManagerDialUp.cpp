#include "qt/NetworkManagerDialUp.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace breezel {

namespace {

// Far below QtDBus's 25 s default: a hung NetworkManager must not keep a check waiting.
constexpr int kCallTimeoutMs = 2000;

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");

// Bluetooth covers PAN as well as DUN; NetworkManager's type does not tell them apart, and
// hanging up a phone's PAN link is harmless enough.
bool IsDialUpType(const QString& type) {
    return type == QLatin1String("gsm") || type == QLatin1String("cdma") ||
           type == QLatin1String("pppoe") || type == QLatin1String("adsl") ||
           type == QLatin1String("bluetooth");
}

enum class Outcome { Answered, NoNetworkManager, Failed };

Outcome OutcomeOf(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return Outcome::Answered;
    }
    // Without auto-start an absent service answers NameHasNoOwner; ServiceUnknown when a bus
    // ignores the flag. A timeout (NoReply) is a failure like any other.
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return Outcome::NoNetworkManager;
    }
    return Outcome::Failed;
}

QDBusMessage NetworkManagerCall(const QString& path, const QString& interface,
                                const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setAutoStartService(false);
    return call;
}

QDBusMessage GetProperty(const QString& path, const QString& interface, const QString& name) {
    QDBusMessage call = NetworkManagerCall(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("Get"));
    call << interface << name;
    return call;
}

QVariant PropertyValue(const QDBusMessage& reply) {
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

std::optional<QList<QDBusObjectPath>> ToObjectPaths(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) {
        return std::nullopt;
    }
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("ao")) {
        return std::nullopt;
    }
    QList<QDBusObjectPath> paths;
    argument >> paths;
    return paths;
}

using Replied = std::function<void(const QDBusMessage& reply)>;

// Sends the call; replied runs from the event loop, never from here, even for a call that
// fails at once. The watcher lives under owner: a reply after the owner is gone goes unheard.
void Send(const QDBusConnection& bus, const QDBusMessage& call, QObject* owner, Replied replied) {
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [replied = std::move(replied)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         replied(finished->reply());
                     });
}

// One listing under way, shared by the calls it waits for. The first reply that settles the
// list answers it; the replies still under way then find nothing left to tell.
struct Listing {
    std::function<void(DialUpConnections::List)> listed;
    QList<QDBusObjectPath> active;
    std::vector<bool> dialUp;
    std::size_t unread = 0;

    void answer(DialUpConnections::List connections) {
        if (auto tell = std::exchange(listed, nullptr)) {
            tell(std::move(connections));
        }
    }
};

void TypeRead(Listing& listing, std::size_t index, const QDBusMessage& reply) {
    const QVariant type = PropertyValue(reply);
    if (OutcomeOf(reply) != Outcome::Answered ||
        type.metaType() != QMetaType::fromType<QString>()) {
        listing.answer(std::nullopt);
        return;
    }
    listing.dialUp[index] = IsDialUpType(type.toString());
    if (--listing.unread > 0) {
        return;
    }
    std::vector<std::string> connections;
    for (std::size_t i = 0; i < listing.dialUp.size(); ++i) {
        if (listing.dialUp[i]) {
            connections.push_back(listing.active[static_cast<qsizetype>(i)].path().toStdString());
        }
    }
    listing.answer(std::move(connections));
}

void ActiveConnectionsRead(const std::shared_ptr<Listing>& listing, const QDBusConnection& bus,
                           QObject* owner, const QDBusMessage& reply) {
    const Outcome outcome = OutcomeOf(reply);
    if (outcome != Outcome::Answered) {
        listing->answer(outcome == Outcome::NoNetworkManager
                            ? DialUpConnections::List(std::vector<std::string>{})
                            : std::nullopt);
        return;
    }
    auto active = ToObjectPaths(PropertyValue(reply));
    if (!active || active->isEmpty()) {
        listing->answer(active ? DialUpConnections::List(std::vector<std::string>{})
                               : std::nullopt);
        return;
    }
    listing->active = std::move(*active);
    listing->dialUp.assign(static_cast<std::size_t>(listing->active.size()), false);
    listing->unread = listing->dialUp.size();
    // The types are read all at once: a slow listing costs one call's time, not one per link.
    for (qsizetype i = 0; i < listing->active.size(); ++i) {
        Send(bus, GetProperty(listing->active[i].path(), kActiveInterface, QStringLiteral("Type")),
             owner, [listing, index = static_cast<std::size_t>(i)](const QDBusMessage& typed) {
                 TypeRead(*listing, index, typed);
             });
    }
}

}  // namespace

NetworkManagerDialUp::NetworkManagerDialUp() : calls_(std::make_unique<QObject>()) {}

NetworkManagerDialUp::~NetworkManagerDialUp() = default;

void NetworkManagerDialUp::enumerate(std::function<void(List connections)> listed) {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        listed(std::vector<std::string>{});
        return;
    }
    auto listing = std::make_shared<Listing>();
    listing->listed = std::move(listed);
    QObject* owner = calls_.get();
    Send(bus, GetProperty(kManagerPath, kManagerInterface, QStringLiteral("ActiveConnections")),
         owner, [listing, bus, owner](const QDBusMessage& reply) {
             ActiveConnectionsRead(listing, bus, owner, reply);
         });
}

void NetworkManagerDialUp::hangUp(const std::string& connection) {
    QDBusMessage call =
        NetworkManagerCall(kManagerPath, kManagerInterface, QStringLiteral("DeactivateConnection"));
    call << QVariant::fromValue(QDBusObjectPath(QString::fromStdString(connection)));
    // Nobody waits for the line to drop and a failure has nobody to tell, so no reply is
    // awaited; without a bus the send simply fails.
    QDBusConnection::systemBus().send(call);
}

}  // namespace breezel
