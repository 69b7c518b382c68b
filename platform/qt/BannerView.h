#pragma once

#include <QFont>
#include <QPixmap>
#include <QStaticText>
#include <QWidget>
#include <string>

#include "app/controls/Signal.h"

namespace breezel {

class MainForm;

/// The banner at the bottom of the main window with its lamp and the scrolling mail program
/// label, drawn as one opaque widget. The label moves 50 times a second; repainting only the
/// strip it covers, from cached pixmaps and laid-out text, keeps that cheap.
class BannerView : public QWidget {
public:
    BannerView(QWidget* parent, MainForm& form);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void followLabel();
    void followLamp();

    MainForm* form_;
    QPixmap banner_;
    QPixmap lamp_;
    QRect lampRect_;
    QFont font_;
    std::string caption_;
    QStaticText text_;
    QRect labelRect_;
    int lampLoads_ = 0;
    ScopedConnection labelChanged_;
    ScopedConnection lampChanged_;
    ScopedConnection formGone_;
};

}  // namespace breezel
