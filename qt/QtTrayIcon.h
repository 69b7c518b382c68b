#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "platform/TrayIcon.h"

namespace breezel {

/// The notification-area icon on QSystemTrayIcon (StatusNotifierItem or XEmbed). A left click
/// and a request for the icon's menu report 1, a middle click 0. Where a StatusNotifier host
/// shows the icon, the icon also carries its menu, which the host draws itself.
class QtTrayIcon : public TrayIcon {
public:
    QtTrayIcon();

    bool available() override;
    void setWindowIcon() override;
    void setTip(const std::string& tip) override;
    void add() override;
    void setEventHandler(std::function<void(int)> handler) override;
    void setMenu(const std::vector<std::string>& captions,
                 std::function<void(int)> chosen) override;

private:
    QSystemTrayIcon icon_;
    std::function<void(int)> handler_;
    std::unique_ptr<QMenu> menu_;
    // Whether a StatusNotifier host was asked for already: once per run.
    bool askedHost_ = false;
};

}  // namespace breezel
