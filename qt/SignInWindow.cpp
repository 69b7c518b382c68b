#include "qt/SignInWindow.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt/Bindings.h"
#include "qt/Fonts.h"
#include "qt/SignInTexts.h"

namespace breezel {

namespace {

constexpr int kTextWidth = 360;
constexpr int kAddressLines = 4;

QLabel* PlainLabel(const std::string& text) {
    auto* label = new QLabel(ToQString(text));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFixedWidth(kTextWidth);
    return label;
}

}  // namespace

SignInWindow::SignInWindow(const std::string& account, const std::string& host,
                           const QUrl& address) {
    setObjectName(QStringLiteral("SignInWindow"));
    // In the look of the program's dialogs, and above other windows like them.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(ToQString(SignInWindowTitle()));
    setFont(DefaultFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(palette);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PlainLabel(SignInWaitingText(account, host)));
    layout->addWidget(PlainLabel(SignInAddressText()));

    // A long address without blanks: broken anywhere, read-only, selectable and copyable.
    auto* text = new QPlainTextEdit(address.toString(QUrl::FullyEncoded));
    text->setObjectName(QStringLiteral("address"));
    text->setReadOnly(true);
    text->setWordWrapMode(QTextOption::WrapAnywhere);
    text->setFixedWidth(kTextWidth);
    text->setFixedHeight(QFontMetrics(text->font()).lineSpacing() * kAddressLines + 12);
    layout->addWidget(text);

    failure_ = PlainLabel(BrowserFailedText());
    failure_->setObjectName(QStringLiteral("failure"));
    QPalette warning = failure_->palette();
    warning.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    failure_->setPalette(warning);
    failure_->hide();
    layout->addWidget(failure_);

    auto* row = new QHBoxLayout;
    auto* cancel = new QPushButton(ToQString(SignInCancelCaption()));
    cancel->setAutoDefault(false);
    row->addStretch();
    row->addWidget(cancel);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Escape and the close box reject too.
    QObject::connect(this, &QDialog::rejected, this, &SignInWindow::cancelled);
}

void SignInWindow::showOpenerFailed() {
    failure_->show();
    raise();
    activateWindow();
}

}  // namespace breezel
