// Words from outside (a server's answer, a path, a settings value) are shown as they are: markup
// in them is never rendered, so it can neither load files nor take the window down.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <memory>

#include "controls/Label.h"
#include "qt/Bindings.h"
#include "qt/QtServices.h"

namespace breezel {
namespace {

const std::string kHostile =
    "-ERR <b>x</b><img src=/dev/zero><font size=7 color=red>big</font>"
    "<img src=file:///etc/hostname>";

QMessageBox* OpenBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

TEST(PlainTextTest, AServersMarkupInTheErrorBoxIsShownLiterally) {
    QtMessageBox messages;
    bool dismissed = false;
    messages.showOk(kHostile, "エラー", MessageBox::Icon::None, [&] { dismissed = true; });
    QMessageBox* box = OpenBox();
    ASSERT_NE(box, nullptr) << "the box is open and the call has returned";
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(), kHostile);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    // Drawing it reads no picture: rendered as markup, /dev/zero would never end.
    EXPECT_FALSE(box->grab().isNull());

    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(dismissed);
}

TEST(PlainTextTest, CaptionsFromSettingsAreShownLiterally) {
    Label control({0, 0, 2000, 255}, "<img src=/dev/zero><b>mailer</b>");
    QLabel widget;
    Bindings bindings;
    bindings.label(&widget, control);
    EXPECT_EQ(widget.textFormat(), Qt::PlainText);
    EXPECT_EQ(widget.text().toStdString(), control.caption());
    EXPECT_FALSE(widget.grab().isNull());
}

}  // namespace
}  // namespace breezel
