#include "qt/StandardTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace breezel {

bool InstallJapaneseStandardTexts(QTranslator& translator) {
    if (!translator.load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}

}  // namespace breezel
