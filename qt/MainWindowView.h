#pragma once

#include "qt/FormView.h"

class QMenuBar;

namespace breezel {

class FanView;
class MainForm;
class TimerDriver;
class WebBrowser;

/// The main window: shows MainForm's visible controls at their design places, 15 twips to the
/// pixel, and forwards clicks and ticks of the boxes to the form.
class MainWindowView : public FormView {
public:
    MainWindowView(MainForm& form, TimerDriver& timers, std::function<void()> onClose);

private:
    QMenuBar* buildMenuBar(MainForm& form);
    void buildStatusRow(MainForm& form);
    void buildOptions(MainForm& form);
    void buildBanner(MainForm& form);
    void buildFan(MainForm& form, TimerDriver& timers);
    void showFan(const WebBrowser& browser);

    QWidget* client_ = nullptr;
    FanView* fan_ = nullptr;
    int fanNavigations_ = 0;
    ScopedConnection fanConnection_;
    ScopedConnection windowSeen_;
};

}  // namespace breezel
