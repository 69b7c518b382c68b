#pragma once

#include <QAbstractButton>
#include <QMargins>
#include <QWidget>
#include <functional>

#include "controls/Signal.h"
#include "qt/Bindings.h"

namespace breezel {

class Form;

/// A top-level window that shows a form: its caption, visibility and stacking follow the form's
/// window; the close box asks the form to close. When the form is destroyed the view lets go of
/// it and hides; its owner deletes it.
class FormView : public QWidget {
public:
    /// onClose runs when the user closes the window; it decides what closing means for the form.
    FormView(Form& form, std::function<void()> onClose);
    ~FormView() override;

    /// Places the window when it is first shown; without it the window manager decides.
    void setPlacement(std::function<void(QWidget&)> place) { place_ = std::move(place); }
    /// Centres the window, frame included, on the screen when it is first shown: with the
    /// frame the window manager drew, once it reports it, if that differs from the one expected.
    void setCentred();

    /// Applies the form's window state; subclasses call it once their widgets are built.
    void syncWindow();
    /// The buttons that Return (or Enter) and Escape press, as in a dialog.
    void setDialogButtons(QAbstractButton* accept, QAbstractButton* cancel) {
        acceptButton_ = accept;
        cancelButton_ = cancel;
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    /// Return and Escape that no field used press the dialog's buttons.
    void keyPressEvent(QKeyEvent* event) override;
    /// Tells the form where the window now is.
    void moveEvent(QMoveEvent* event) override;
    /// These tell the form whether the window can be seen at all.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    Bindings& bindings() { return bindings_; }

private:
    void release();
    void reportSeen();
    /// The window manager's frame around this window: its own once the manager has reported
    /// it (_NET_FRAME_EXTENTS under X11), else the last one seen around any view, else none.
    QMargins expectedFrame() const;
    /// Takes note of the frame the window manager reported, and centres again by it.
    void frameReported();

    Form* form_;
    std::function<void()> onClose_;
    std::function<void(QWidget&)> place_;
    bool placed_ = false;
    bool centred_ = false;
    bool awaitingFrame_ = false;  // centred, by a frame the window manager has not yet reported
    QMargins centredWith_;
    QObject* watchedWindow_ = nullptr;
    Bindings bindings_;
    QAbstractButton* acceptButton_ = nullptr;
    QAbstractButton* cancelButton_ = nullptr;
    ScopedConnection windowChanged_;
    ScopedConnection windowRaised_;
    ScopedConnection windowMinimized_;
    ScopedConnection formDestroying_;
};

}  // namespace breezel
