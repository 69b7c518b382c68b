#pragma once

#include <QFont>

namespace breezel {

/// The windows' text: the design's Japanese UI font at 9 pt (12 px at 96 dpi), with fallbacks
/// that exist on Linux desktops.
QFont DefaultFont();
/// The scrolling mail program label: bold 11.25 pt (15 px). The fallbacks have a real bold
/// face, since some Japanese fonts would be drawn without any bold.
QFont ScrollingLabelFont();

}  // namespace breezel
