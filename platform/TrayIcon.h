#pragma once

#include <functional>
#include <string>
#include <vector>

namespace breezel {

/// The program's icon in the desktop's notification area.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    /// Whether the desktop has a notification area to put the icon in.
    virtual bool available() = 0;
    /// The icon shows the main window's icon.
    virtual void setWindowIcon() = 0;
    /// The icon's tool tip.
    virtual void setTip(const std::string& tip) = 0;
    /// Places the icon, with its icon and tip, in the notification area (again: refreshes it).
    virtual void add() = 0;
    /// Receives the icon's events: 1 for a left click or a request for its menu, 0 for a
    /// middle click.
    virtual void setEventHandler(std::function<void(int code)> handler) = 0;
    /// The icon's menu for desktops that show an icon's menu themselves (captions, "-" for a
    /// separator); chosen gets the index of the item picked there. Elsewhere the program shows
    /// its menu on event 1.
    virtual void setMenu(const std::vector<std::string>& captions,
                         std::function<void(int index)> chosen) = 0;
};

}  // namespace breezel
