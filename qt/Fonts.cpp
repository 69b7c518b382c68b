#include "qt/Fonts.h"

#include <QStringList>

namespace breezel {

namespace {
const QString kDesignFamily = QStringLiteral("ＭＳ Ｐゴシック");
}  // namespace

QFont DefaultFont() {
    QFont font;
    // IPA P Gothic first among the stand-ins: its line height matches the design font's, so
    // two-line captions fit their boxes.
    font.setFamilies({kDesignFamily, QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("sans-serif")});
    // Pixel sizes, because the window layout is fixed in pixels at 96 dpi.
    font.setPixelSize(12);
    return font;
}

QFont ScrollingLabelFont() {
    QFont font;
    // The design font has no bold face either: it is emboldened as drawn, and so is IPA P
    // Gothic. A bold face of another family would hold a second large font in memory for one
    // line of text.
    font.setFamilies({kDesignFamily, QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("sans-serif")});
    font.setPixelSize(15);
    font.setBold(true);
    return font;
}

}  // namespace breezel
