#include "platform/qt/NetworkManagerDialUp.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <utility>

namespace breezel {

namespace {

// Far below QtDBus's 25 s default: a hung NetworkManager must not freeze the program.
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

Outcome Call(QDBusMessage call, QDBusMessage& reply) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return Outcome::NoNetworkManager;
    }
    call.setAutoStartService(false);
    reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return Outcome::Answered;
    }
    // Without auto-start an absent service answers NameHasNoOwner; ServiceUnknown when a bus
    // ignores the flag.
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return Outcome::NoNetworkManager;
    }
    return Outcome::Failed;
}

Outcome GetProperty(const QString& path, const QString& interface, const QString& name,
                    QVariant& value) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << name;
    QDBusMessage reply;
    const Outcome outcome = Call(call, reply);
    if (outcome == Outcome::Answered) {
        value = reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    return outcome;
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

}  // namespace

bool NetworkManagerDialUp::enumerate(std::vector<std::string>& connections) {
    connections.clear();
    QVariant value;
    const Outcome listed =
        GetProperty(kManagerPath, kManagerInterface, QStringLiteral("ActiveConnections"), value);
    if (listed != Outcome::Answered) {
        return listed == Outcome::NoNetworkManager;
    }
    const auto active = ToObjectPaths(value);
    if (!active) {
        return false;
    }
    std::vector<std::string> dialUp;
    for (const QDBusObjectPath& path : *active) {
        QVariant type;
        if (GetProperty(path.path(), kActiveInterface, QStringLiteral("Type"), type) !=
                Outcome::Answered ||
            type.metaType() != QMetaType::fromType<QString>()) {
            return false;
        }
        if (IsDialUpType(type.toString())) {
            dialUp.push_back(path.path().toStdString());
        }
    }
    connections = std::move(dialUp);
    return true;
}

void NetworkManagerDialUp::hangUp(const std::string& connection) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface,
                                                       QStringLiteral("DeactivateConnection"));
    call << QVariant::fromValue(QDBusObjectPath(QString::fromStdString(connection)));
    QDBusMessage reply;
    Call(call, reply);
}

}  // namespace breezel
