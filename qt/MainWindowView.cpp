#include "qt/MainWindowView.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/FileUrl.h"
#include "forms/MainForm.h"
#include "qt/BannerView.h"
#include "qt/FanView.h"
#include "qt/Fonts.h"

namespace breezel {

namespace {

const QColor kWindowBackground(0x40, 0x40, 0x40);

void Paint(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    if (background.isValid()) {
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::Button, background);
        widget->setAutoFillBackground(true);
    }
    // Only the caption colours: check marks and edit fields keep their dark text on white.
    if (text.isValid()) {
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::ButtonText, text);
    }
    widget->setPalette(palette);
}

// Runs an action on a double click of the watched widget.
class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

template <typename W>
W* Place(QWidget* parent, const Control& control) {
    auto* widget = new W(parent);
    widget->setGeometry(ToPixels(control.rect()));
    return widget;
}

}  // namespace

MainWindowView::MainWindowView(MainForm& form, TimerDriver& timers, std::function<void()> onClose)
    : FormView(form, std::move(onClose)) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(DefaultFont());
    setWindowIcon(QIcon(QStringLiteral(":/design/breezel.png")));

    // The menu bar above, and below it the client area of the design, in fixed pixels.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setMenuBar(buildMenuBar(form));
    client_ = new QWidget;
    client_->setFixedSize(
        ToPixels({0, 0, form.window.clientWidth(), form.window.clientHeight()}).size());
    Paint(client_, kWindowBackground, Qt::white);
    layout->addWidget(client_);

    buildFan(form, timers);
    buildStatusRow(form);
    buildOptions(form);
    buildBanner(form);

    setCentred();
    syncWindow();
}

QMenuBar* MainWindowView::buildMenuBar(MainForm& form) {
    auto* bar = new QMenuBar;
    QMenu* file = bar->addMenu(ToQString(form.mfile));
    // A menu is a window of its own: the stand-in for the system's menu font is the window's,
    // so that one Japanese font serves all the program shows.
    file->setFont(DefaultFont());
    for (CommandButton* item : form.fileMenu()) {
        if (item == nullptr) {
            file->addSeparator();
        } else {
            QAction* action = file->addAction(ToQString(item->caption()));
            connect(action, &QAction::triggered, this, [item] { item->click(); });
        }
    }
    return bar;
}

void MainWindowView::buildFan(MainForm& form, TimerDriver& timers) {
    auto* frame = Place<QWidget>(client_, form.Picture2);
    fan_ = new FanView(frame, timers);
    fan_->setGeometry(ToPixels(form.WebBrowser1.rect()));
    fanConnection_ =
        form.WebBrowser1.changed.connectScoped([this, &form] { showFan(form.WebBrowser1); });
    showFan(form.WebBrowser1);
    windowSeen_ = form.window.changed.connectScoped(
        [this, &form] { fan_->setDeferred(form.window.unseen()); });
}

void MainWindowView::showFan(const WebBrowser& browser) {
    if (browser.navigations() == fanNavigations_) {
        return;
    }
    fanNavigations_ = browser.navigations();
    const std::string& url = browser.locationUrl();
    fan_->play(ToQString(FileUrlPath(url).value_or(url)));
}

void MainWindowView::buildStatusRow(MainForm& form) {
    auto* onOff = Place<QLabel>(client_, form.Label4);
    Paint(onOff, {}, Qt::yellow);
    bindings().label(onOff, form.Label4);

    // Written only by the interval logic; the user cannot change it here.
    auto* autoCheck = Place<QCheckBox>(client_, form.Check3);
    Paint(autoCheck, QColor(0x00, 0x40, 0x00), Qt::white);
    autoCheck->setAttribute(Qt::WA_TransparentForMouseEvents);
    autoCheck->setFocusPolicy(Qt::NoFocus);
    bindings().check(autoCheck, form.Check3);

    auto* interval = Place<QLineEdit>(client_, form.Text5);
    interval->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    interval->setReadOnly(true);
    interval->setFocusPolicy(Qt::NoFocus);
    bindings().text(interval, form.Text5);

    auto* unit = Place<QLabel>(client_, form.Label2);
    Paint(unit, kWindowBackground, Qt::white);
    bindings().label(unit, form.Label2);
    unit->installEventFilter(new DoubleClickFilter(unit, [&form] { form.Label2_DblClick(); }));

    // The separator under the status row, from (1560, 360) to (3480, 360).
    auto* line = new QWidget(client_);
    line->setGeometry(ToPixels({1560, 360, 3480 - 1560, kTwipsPerPixel}));
    Paint(line, Qt::white, {});
    // A line is drawn on the window itself, under the controls: the fan's box covers its
    // first pixel.
    line->lower();
}

void MainWindowView::buildOptions(MainForm& form) {
    auto* launchCaption = Place<QLabel>(client_, form.Label3);
    launchCaption->setWordWrap(true);
    launchCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Paint(launchCaption, {}, Qt::cyan);
    bindings().label(launchCaption, form.Label3);

    auto* launch = Place<QCheckBox>(client_, form.Check2);
    launch->setText(ToQString(form.Check2.caption()));
    Paint(launch, kWindowBackground, Qt::white);
    bindings().check(launch, form.Check2);

    auto* test = Place<QPushButton>(client_, form.Command2);
    Paint(test, QColor(0xC0, 0xC0, 0xC0), Qt::black);
    bindings().button(test, form.Command2);

    auto* reset = Place<QPushButton>(client_, form.Command3);
    Paint(reset, QColor(0xC0, 0xC0, 0xC0), Qt::black);
    bindings().button(reset, form.Command3);

    auto* mute = Place<QCheckBox>(client_, form.Check4);
    mute->setText(ToQString(form.Check4.caption()));
    Paint(mute, QColor(0x40, 0x40, 0x00), Qt::white);
    bindings().check(mute, form.Check4);
}

void MainWindowView::buildBanner(MainForm& form) {
    new BannerView(client_, form);
}

}  // namespace breezel
