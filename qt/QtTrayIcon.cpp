#include "qt/QtTrayIcon.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include "qt/Bindings.h"

namespace breezel {

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
// Without an answer by then, the icon shows without handing its menu to a host.
constexpr int kWatcherAnswerMs = 500;
}  // namespace

QtTrayIcon::QtTrayIcon() {
    QObject::connect(
        &icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
            if (!handler_) {
                return;
            }
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) {
                handler_(1);
            } else if (reason == QSystemTrayIcon::MiddleClick) {
                handler_(0);
            }
        });
}

bool QtTrayIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::setWindowIcon() {
    icon_.setIcon(QApplication::windowIcon());
}

void QtTrayIcon::setTip(const std::string& tip) {
    icon_.setToolTip(ToQString(tip));
}

void QtTrayIcon::add() {
    if (askedHost_ || !menu_) {
        icon_.show();
        return;
    }
    // Qt speaks StatusNotifierItem, and exports the icon's menu, when a watcher reports a host;
    // otherwise it embeds the icon (XEmbed), where it would pop a set menu up beside ours. The
    // watcher is asked without waiting for it; the icon shows once it has answered.
    askedHost_ = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        icon_.show();
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(get, kWatcherAnswerMs), &icon_);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, &icon_, [this, answer] {
        const QDBusPendingReply<QDBusVariant> reply = *answer;
        if (reply.isValid() && reply.value().variant().toBool()) {
            icon_.setContextMenu(menu_.get());
        }
        icon_.show();
        answer->deleteLater();
    });
}

void QtTrayIcon::setEventHandler(std::function<void(int)> handler) {
    handler_ = std::move(handler);
}

void QtTrayIcon::setMenu(const std::vector<std::string>& captions,
                         std::function<void(int)> chosen) {
    menu_ = std::make_unique<QMenu>();
    FillMenu(*menu_, captions, chosen);
}

}  // namespace breezel
