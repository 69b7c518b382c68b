#pragma once

#include <QSystemTrayIcon>
#include <functional>

#include "platform/TrayIcon.h"

namespace breezel {

/// The notification-area icon on QSystemTrayIcon (StatusNotifierItem or XEmbed). A left click
/// and a request for the icon's menu report 1, a middle click 0.
class QtTrayIcon : public TrayIcon {
public:
    QtTrayIcon();

    bool available() override;
    void setWindowIcon() override;
    void setTip(const std::string& tip) override;
    void add() override;
    void setEventHandler(std::function<void(int)> handler) override;

private:
    QSystemTrayIcon icon_;
    std::function<void(int)> handler_;
};

}  // namespace breezel
