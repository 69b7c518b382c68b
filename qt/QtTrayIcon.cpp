#include "qt/QtTrayIcon.h"

#include <QApplication>

#include "qt/Bindings.h"

namespace breezel {

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

}  // namespace breezel
