// Qt's standard buttons and file dialog in Japanese, as the program sets them up.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "qt/StandardTexts.h"

namespace breezel {
namespace {

// A button's text as the user reads it: the mnemonic marker dropped.
QString Shown(const QAbstractButton* button) {
    return button->text().remove(QLatin1Char('&'));
}

TEST(StandardTexts, QuestionAndFileDialogReadJapanese) {
    QTranslator translator;  // uninstalled again when it goes
    ASSERT_TRUE(InstallJapaneseStandardTexts(translator));

    QMessageBox question(QMessageBox::Question, QStringLiteral("確認"), QStringLiteral("?"),
                         QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(Shown(question.button(QMessageBox::Yes)).startsWith(QStringLiteral("はい")));
    EXPECT_TRUE(Shown(question.button(QMessageBox::No)).startsWith(QStringLiteral("いいえ")));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    const auto* buttons = files.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_TRUE(
        Shown(buttons->button(QDialogButtonBox::Cancel)).startsWith(QStringLiteral("キャンセル")));
    EXPECT_TRUE(Shown(buttons->button(QDialogButtonBox::Open)).startsWith(QStringLiteral("開く")));
}

}  // namespace
}  // namespace breezel
