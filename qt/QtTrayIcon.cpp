#include "qt/QtTrayIcon.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>

#include "qt/Bindings.h"

namespace breezel {

namespace {

// Qt speaks StatusNotifierItem, and exports an icon's menu, when a watcher reports a host;
// otherwise it embeds the icon (XEmbed), where it would pop a set menu up beside ours.
bool StatusNotifierHostPresent() {
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(watcher)) {
        return false;
    }
    QDBusInterface item(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return item.isValid() && item.property("IsStatusNotifierHostRegistered").toBool();
}

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
    icon_.show();
}

void QtTrayIcon::setEventHandler(std::function<void(int)> handler) {
    handler_ = std::move(handler);
}

void QtTrayIcon::setMenu(const std::vector<std::string>& captions,
                         std::function<void(int)> chosen) {
    if (!StatusNotifierHostPresent()) {
        return;
    }
    menu_ = std::make_unique<QMenu>();
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        if (captions[i] == "-") {
            menu_->addSeparator();
        } else {
            QAction* action = menu_->addAction(ToQString(captions[i]));
            QObject::connect(action, &QAction::triggered, menu_.get(), [chosen, i] { chosen(i); });
        }
    }
    icon_.setContextMenu(menu_.get());
}

}  // namespace breezel
