#pragma once

#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/Geometry.h"
#include "controls/Signal.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace breezel {

class CheckBox;
class CommandButton;
class Label;
class TextBox;

/// Pixels of a twips rectangle at 15 twips per pixel.
QRect ToPixels(const Rect& rect);
/// Whole pixels of a twips distance, rounded to the nearest.
int TwipsToPixels(Twips twips);
QString ToQString(const std::string& text);
std::string ToStdString(const QString& text);
/// A pixmap of the image; without an alpha channel where no pixel is see-through, so that
/// drawing it is a plain copy rather than a blend.
QPixmap ToPixmap(QImage image);
/// The file to read for a picture shown at this device pixel ratio: from 2 up, its twin drawn
/// at twice the size, "name@2x.ext" beside it, when there is one (Qt's readers then give it a
/// ratio of 2, so it covers the same logical size); otherwise path itself.
QString PictureFor(const QString& path, qreal ratio);

/// Fills a menu from captions, "-" standing for a separator line; choosing an item calls chosen
/// with its index among the captions.
void FillMenu(QMenu& menu, const std::vector<std::string>& captions,
              const std::function<void(int)>& chosen);

/// Keeps widgets showing their controls and forwards the user's input back into the controls.
/// The connections end with this object, so a view can go before or after its form.
class Bindings {
public:
    /// Shows the label's caption; placeAt also follows its position.
    void label(QLabel* widget, Label& control, bool place = false);
    /// Two-way: the user's edits go into the text box, the text box's text is shown; shown, when
    /// given, runs after each text the program shows.
    void text(QLineEdit* widget, TextBox& control, std::function<void()> shown = {});
    /// Two-way: the user's clicks set the value (0/1), the value is shown.
    void check(QCheckBox* widget, CheckBox& control);
    /// The user's click performs the button's click.
    void button(QAbstractButton* widget, CommandButton& control);

    /// Ends every connection in both directions.
    void clear() {
        connections_.clear();
        context_ = std::make_unique<QObject>();
    }

private:
    std::vector<ScopedConnection> connections_;
    // Owner of the widget-to-control connections, so clear() cuts them too.
    std::unique_ptr<QObject> context_ = std::make_unique<QObject>();
};

}  // namespace breezel
