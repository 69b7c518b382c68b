#include "qt/Bindings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "controls/CheckBox.h"
#include "controls/CommandButton.h"
#include "controls/Label.h"
#include "controls/TextBox.h"
#include "qt/Fonts.h"

namespace breezel {

int TwipsToPixels(Twips twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

QPixmap ToPixmap(QImage image) {
    if (image.hasAlphaChannel()) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        bool seeThrough = false;
        for (int y = 0; y < argb.height() && !seeThrough; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            seeThrough = std::any_of(line, line + argb.width(),
                                     [](QRgb pixel) { return qAlpha(pixel) != 255; });
        }
        if (!seeThrough) {
            image = argb.convertToFormat(QImage::Format_RGB32);
        }
    }
    return QPixmap::fromImage(std::move(image));
}

QString PictureFor(const QString& path, qreal ratio) {
    if (ratio < 2) {
        return path;
    }
    const QFileInfo picture(path);
    const QString twin = picture.path() + QLatin1Char('/') + picture.completeBaseName() +
                         QStringLiteral("@2x.") + picture.suffix();
    return QFileInfo::exists(twin) ? twin : path;
}

QRect ToPixels(const Rect& rect) {
    return QRect(TwipsToPixels(rect.left), TwipsToPixels(rect.top), TwipsToPixels(rect.width),
                 TwipsToPixels(rect.height));
}

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ToStdString(const QString& text) {
    return text.toStdString();
}

void Bindings::label(QLabel* widget, Label& control, bool place) {
    // Captions may come from settings files and paths: never let Qt guess they are markup.
    widget->setTextFormat(Qt::PlainText);
    auto show = [widget, &control, place] {
        const QString caption = ToQString(control.caption());
        if (widget->text() != caption) {
            widget->setText(caption);
        }
        if (place) {
            widget->move(ToPixels(control.rect()).topLeft());
        }
    };
    show();
    connections_.push_back(control.changed.connectScoped(show));
}

void Bindings::text(QLineEdit* widget, TextBox& control, std::function<void()> shown) {
    auto show = [widget, &control, shown = std::move(shown)] {
        const QString text = ToQString(control.text());
        if (widget->text() != text) {
            const QSignalBlocker block(widget);
            widget->setText(text);
        }
        // Escaped and kept in its lines: a mailbox's name is shown as written, never as markup.
        const QString tip = control.toolTip().empty()
                                ? QString()
                                : QStringLiteral("<p style='white-space:pre'>%1</p>")
                                      .arg(ToQString(control.toolTip()).toHtmlEscaped());
        if (widget->toolTip() != tip) {
            widget->setToolTip(tip);
        }
        if (shown) {
            shown();
        }
    };
    show();
    connections_.push_back(control.changed.connectScoped(show));
    QObject::connect(widget, &QLineEdit::textEdited, context_.get(),
                     [&control](const QString& text) { control.setText(ToStdString(text)); });
}

void Bindings::check(QCheckBox* widget, CheckBox& control) {
    auto show = [widget, &control] {
        const QSignalBlocker block(widget);
        widget->setChecked(control.value() == 1);
    };
    show();
    connections_.push_back(control.changed.connectScoped(show));
    QObject::connect(widget, &QCheckBox::clicked, context_.get(),
                     [&control](bool checked) { control.setValue(checked ? 1 : 0); });
}

void Bindings::button(QAbstractButton* widget, CommandButton& control) {
    widget->setText(ToQString(control.caption()));
    QObject::connect(widget, &QAbstractButton::clicked, context_.get(),
                     [&control] { control.click(); });
}

void FillMenu(QMenu& menu, const std::vector<std::string>& captions,
              const std::function<void(int)>& chosen) {
    // A menu is a window of its own and takes no font from the one it pops up for.
    menu.setFont(DefaultFont());
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        if (captions[i] == "-") {
            menu.addSeparator();
        } else {
            QAction* action = menu.addAction(ToQString(captions[i]));
            QObject::connect(action, &QAction::triggered, &menu, [chosen, i] { chosen(i); });
        }
    }
}

}  // namespace breezel
