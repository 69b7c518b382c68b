#pragma once

#include <QTranslator>

namespace breezel {

/// Qt's own texts in Japanese, whatever the user's locale: the whole interface is Japanese, so
/// standard buttons read はい/いいえ, OK/キャンセル and the file dialog speaks Japanese too.
/// Loads Qt's Japanese catalogue into translator and installs it for the application; false
/// (and English buttons) when the catalogue is not installed.
bool InstallJapaneseStandardTexts(QTranslator& translator);

}  // namespace breezel
