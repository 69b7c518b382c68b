#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "qt/FormView.h"

class QLabel;
class QLineEdit;

namespace breezel {

class Form1;
class MsgForm;

/// The new-mail notice board: a thin fixed window, centred each time it is loaded.
class MsgFormView : public FormView {
public:
    MsgFormView(MsgForm& form, std::function<void()> onClose);

private:
    /// Sizes the count's field (and the board, when it must) so that the count shows whole.
    void fitCount();

    QSize designSize_;
    QRect countField_;
    QLineEdit* message_ = nullptr;
    QLineEdit* count_ = nullptr;
};

/// The wind-chime window: borderless, shaped to the chime of the frame shown. The left button
/// drags it through the window manager (or by hand where there is none); the form decides what
/// every button means.
class ChimeWindowView : public FormView {
public:
    ChimeWindowView(Form1& form, std::function<void()> onClose);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showFrame();
    void startDrag();

    Form1* form_;
    QLabel* picture_;
    QPixmap frameA_;
    QPixmap frameB_;
    ScopedConnection pictureChanged_;
    ScopedConnection dragRequested_;
    ScopedConnection formGone_;
    bool manualDrag_ = false;
    QPoint dragOffset_;
    QPoint pressPosition_;
};

}  // namespace breezel
