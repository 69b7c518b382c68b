#include "qt/AlertViews.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegion>
#include <QWindow>
#include <algorithm>

#include "forms/Form1.h"
#include "forms/MsgForm.h"
#include "qt/Fonts.h"

namespace breezel {

namespace {

QLineEdit* FlatField(QWidget* parent, Bindings& bindings, TextBox& control,
                     std::function<void(QLineEdit&)> shown = {}) {
    auto* field = new QLineEdit(parent);
    field->setGeometry(ToPixels(control.rect()));
    field->setFrame(false);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    std::function<void()> after;
    if (shown) {
        after = [field, shown = std::move(shown)] { shown(*field); };
    }
    bindings.text(field, control, std::move(after));
    return field;
}

// What a frameless line edit keeps beside its text: two pixels each side and the cursor.
constexpr int kLineEditPadding = 2 * 2 + 2;
// The design's count field holds this many digits.
constexpr int kDesignDigits = 4;

// A Wayland compositor draws a window's whole square: natively a shape only limits where it
// takes input, and weston ignores an XWayland window's shape. There the key colour is painted
// see-through as well, so that the chime shows without its square.
bool OnWaylandDesktop() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QPixmap KeySeeThrough(const QPixmap& frame) {
    QImage image = frame.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::replace_if(
            line, line + image.width(), [](QRgb pixel) { return (pixel & 0xFFFFFFu) == 0xC0C0C0u; },
            QRgb{0});
    }
    return QPixmap::fromImage(std::move(image));
}

// Qt's buttons as the mask the form expects: 1 left, 2 right, 4 middle.
int ButtonMask(Qt::MouseButtons buttons) {
    return (buttons.testFlag(Qt::LeftButton) ? 1 : 0) |
           (buttons.testFlag(Qt::RightButton) ? 2 : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? 4 : 0);
}

}  // namespace

MsgFormView::MsgFormView(MsgForm& form, std::function<void()> onClose)
    : FormView(form, std::move(onClose)) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(DefaultFont());
    setFixedSize(ToPixels({0, 0, form.window.clientWidth(), form.window.clientHeight()}).size());

    designSize_ = ToPixels({0, 0, form.window.clientWidth(), form.window.clientHeight()}).size();
    countField_ = ToPixels(form.Text2.rect());
    auto* message = FlatField(this, bindings(), form.Text1);
    message->setAlignment(Qt::AlignCenter);
    QPalette blue = message->palette();
    blue.setColor(QPalette::Text, Qt::blue);
    message->setPalette(blue);
    message_ = message;
    count_ = FlatField(this, bindings(), form.Text2, [this](QLineEdit&) { fitCount(); });
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    setCentred();
    syncWindow();
}

void MsgFormView::fitCount() {
    if (count_ == nullptr) {
        return;  // still being built
    }
    const QString text = count_->text();
    QRect field = countField_;
    QSize board = designSize_;
    if (text.size() > kDesignDigits) {
        // A longer count is shown whole: its field grows to the left over the message's empty
        // end, up to its words, and the board widens for what is still missing.
        const int needed = count_->fontMetrics().horizontalAdvance(text) + kLineEditPadding;
        const QRect words = message_->geometry();
        const int wordsEnd = words.center().x() +
                             message_->fontMetrics().horizontalAdvance(message_->text()) / 2 + 2;
        field.setLeft(std::max(wordsEnd, field.right() + 1 - needed));
        field.setWidth(std::max(field.width(), needed));
        board.setWidth(std::max(board.width(), field.right() + 1));
    }
    count_->setGeometry(field);
    count_->setCursorPosition(0);
    if (size() != board) {
        setFixedSize(board);
    }
}

ChimeWindowView::ChimeWindowView(Form1& form, std::function<void()> onClose)
    : FormView(form, std::move(onClose)),
      form_(&form),
      picture_(new QLabel(this)),
      // At 200 % the pictures drawn at twice the size; their outline is the shape doubled, so
      // the shape, kept in logical pixels, still cuts them exactly.
      frameA_(PictureFor(QStringLiteral(":/design/chime-a.png"), devicePixelRatioF())),
      frameB_(PictureFor(QStringLiteral(":/design/chime-b.png"), devicePixelRatioF())) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_NoSystemBackground);
    if (OnWaylandDesktop()) {
        setAttribute(Qt::WA_TranslucentBackground);
        frameA_ = KeySeeThrough(frameA_);
        frameB_ = KeySeeThrough(frameB_);
    }
    picture_->setGeometry(QRect(QPoint(), frameA_.deviceIndependentSize().toSize()));
    setFixedSize(ToPixels({0, 0, form.window.clientWidth(), form.window.clientHeight()}).size());
    pictureChanged_ = form.pictureChanged.connectScoped([this] { showFrame(); });
    dragRequested_ = form.dragRequested.connectScoped([this] { startDrag(); });
    // The view outlives the form only until its deferred deletion: stop talking to it then.
    formGone_ = form.destroying.connectScoped([this] {
        form_ = nullptr;
        pictureChanged_.disconnect();
        dragRequested_.disconnect();
    });
    showFrame();
    syncWindow();
}

void ChimeWindowView::showFrame() {
    if (form_ == nullptr) {
        return;
    }
    const int index = form_->frameIndex();
    picture_->setPixmap(index % 2 == 0 || index < 0 ? frameA_ : frameB_);
    if (!form_->shaped()) {
        clearMask();
        return;
    }
    QRegion shape;
    for (const RegionRect& r : form_->shape()) {
        shape += QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    setMask(shape);
}

void ChimeWindowView::mousePressEvent(QMouseEvent* event) {
    pressPosition_ = event->globalPosition().toPoint();
    if (form_ != nullptr) {
        form_->Form_MouseDown(ButtonMask(event->buttons()));
    }
}

void ChimeWindowView::startDrag() {
    // Without a window manager the system move is refused: then follow the mouse by hand.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
        return;
    }
    manualDrag_ = true;
    dragOffset_ = pressPosition_ - pos();
}

void ChimeWindowView::mouseMoveEvent(QMouseEvent* event) {
    if (manualDrag_) {
        move(event->globalPosition().toPoint() - dragOffset_);
    }
}

void ChimeWindowView::mouseReleaseEvent(QMouseEvent*) {
    manualDrag_ = false;
}

}  // namespace breezel
