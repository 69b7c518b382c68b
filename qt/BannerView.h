#pragma once

#include <QFont>
#include <QPixmap>
#include <QWidget>
#include <string>

#include "controls/Signal.h"

namespace breezel {

class MainForm;

/// The banner at the bottom of the main window with its lamp and the scrolling mail program
/// label, drawn as one opaque widget. The label moves 50 times a second; its text is drawn once
/// into a pixmap when the caption changes, and each move repaints only the few pixels the text
/// covered and covers, by copying pictures.
class BannerView : public QWidget {
public:
    BannerView(QWidget* parent, MainForm& form);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void followLabel();
    void followLamp();
    void drawCaption();
    QRect textRect() const;

    MainForm* form_;
    QPixmap banner_;
    QPixmap lamp_;
    QRect lampRect_;
    QFont font_;
    std::string caption_;
    // The caption's text as drawn, cut to the label's width; its top-left is the label's.
    QPixmap text_;
    QRect labelRect_;
    int lampLoads_ = 0;
    ScopedConnection labelChanged_;
    ScopedConnection lampChanged_;
    ScopedConnection windowChanged_;
    ScopedConnection formGone_;
};

}  // namespace breezel
