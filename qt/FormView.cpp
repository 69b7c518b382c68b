#include "qt/FormView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QScreen>
#include <QWindow>

#include "controls/Form.h"

namespace breezel {

namespace {
// Our windows share one kind of frame: the first one reported stands for the rest until each
// has its own.
QMargins gLastFrame;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)
}  // namespace

FormView::FormView(Form& form, std::function<void()> onClose)
    : form_(&form), onClose_(std::move(onClose)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    windowChanged_ = form.window.changed.connectScoped([this] { syncWindow(); });
    windowRaised_ = form.window.raised.connectScoped([this] {
        if (isVisible()) {
            if (isMinimized()) {
                showNormal();
            }
            raise();
            activateWindow();
        }
    });
    windowMinimized_ = form.window.minimized.connectScoped([this] { showMinimized(); });
    formDestroying_ = form.destroying.connectScoped([this] { release(); });
}

FormView::~FormView() = default;

void FormView::syncWindow() {
    if (!form_) {
        return;
    }
    const FormWindow& window = form_->window;
    const QString caption = ToQString(window.caption());
    if (windowTitle() != caption) {
        setWindowTitle(caption);
    }
    const bool onTop = window.topmost();
    if (onTop != windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        // Changing a window flag hides a shown window; the visibility step below shows it again.
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
    if (window.placed()) {
        const QPoint wanted(TwipsToPixels(window.left()), TwipsToPixels(window.top()));
        if (pos() != wanted) {
            move(wanted);
        }
        placed_ = true;
    }
    if (window.visible() && !isVisible()) {
        if (!placed_ && place_) {
            place_(*this);
            awaitingFrame_ = centred_;
        }
        placed_ = true;
        show();
    } else if (!window.visible() && isVisible()) {
        hide();
    }
}

void FormView::setCentred() {
    centred_ = true;
    setPlacement([this](QWidget& window) {
        window.adjustSize();  // a laid-out window's fixed size, before it is first shown
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) {
            return;
        }
        centredWith_ = expectedFrame();
        QRect framed(QPoint(), window.size().grownBy(centredWith_));
        framed.moveCenter(screen->availableGeometry().center());
        // A window's position is its frame's top left.
        window.move(framed.topLeft());
    });
}

QMargins FormView::expectedFrame() const {
    const QWindow* handle = windowHandle();
    const QMargins own = handle != nullptr ? handle->frameMargins() : QMargins();
    return own.isNull() ? gLastFrame : own;
}

void FormView::frameReported() {
    const QWindow* handle = windowHandle();
    const QMargins reported = handle != nullptr ? handle->frameMargins() : QMargins();
    if (reported.isNull()) {
        return;
    }
    gLastFrame = reported;
    // Once: after this the window is where the user and the window manager put it.
    if (awaitingFrame_ && isVisible()) {
        awaitingFrame_ = false;
        if (reported != centredWith_) {
            place_(*this);
        }
    }
}

void FormView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Text fields and check boxes pass these keys on: they reach the window here.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && acceptButton_ != nullptr) {
        acceptButton_->click();
    } else if (key == Qt::Key_Escape && cancelButton_ != nullptr) {
        cancelButton_->click();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void FormView::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window manager moves a window as it frames it.
    frameReported();
    if (form_ && isVisible()) {
        form_->window.setPosition(pos().x() * kTwipsPerPixel, pos().y() * kTwipsPerPixel);
    }
}

void FormView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Mapping and unmapping by the window manager (minimizing, a desktop switch) show only on
    // the native window, as exposure.
    if (QWindow* native = windowHandle(); native != nullptr && native != watchedWindow_) {
        native->installEventFilter(this);
        watchedWindow_ = native;
    }
    reportSeen();
}

void FormView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    reportSeen();
}

void FormView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        reportSeen();
    }
}

bool FormView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ && event->type() == QEvent::Expose) {
        reportSeen();
    }
    return QWidget::eventFilter(watched, event);
}

void FormView::reportSeen() {
    if (!form_) {
        return;
    }
    const QWindow* native = windowHandle();
    const bool seen = isVisible() && !isMinimized() && native != nullptr && native->isExposed();
    form_->window.setUnseen(!seen);
}

void FormView::closeEvent(QCloseEvent* event) {
    if (form_ && onClose_) {
        // The form decides; if it closes, its destruction retires this view.
        event->ignore();
        onClose_();
        return;
    }
    event->accept();
}

void FormView::release() {
    form_ = nullptr;
    bindings_.clear();
    windowChanged_.disconnect();
    windowRaised_.disconnect();
    windowMinimized_.disconnect();
    hide();
}

}  // namespace breezel
