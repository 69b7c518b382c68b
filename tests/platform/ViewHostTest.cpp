// Each window goes with its form, however the form goes, and the windows still open go with the
// host that made them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "forms/IdPassForm.h"
#include "forms/SetForm.h"
#include "qt/ViewHost.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

class ViewHostTest : public ProgramFixture {
protected:
    ViewHostTest() {
        // Account and server known: no dialog opens at start-up.
        writeAccount("NAME=me\nNAME2=pw\n");
        writeServerFile("POP3=pop.example.jp\r\n");
    }

    /// The program with a host for its windows; the dialogs that start-up made hidden, before the
    /// host was there, are made again.
    Program& startWithViews() {
        Program& program = start();
        program.closeSetForm();
        program.closeIdPassForm();
        views_ = std::make_unique<ViewHost>(program);
        return program;
    }

    static QWidget* ShownWindow(const QString& title) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->windowTitle() == title) {
                return widget;
            }
        }
        return nullptr;
    }

    static void RunDeferredDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::unique_ptr<ViewHost> views_;
};

TEST_F(ViewHostTest, AWindowGoesWithItsFormHoweverTheFormGoes) {
    Program& program = startWithViews();

    program.setForm().window.show();
    QPointer<QWidget> preferences = ShownWindow("設定");
    ASSERT_NE(preferences, nullptr);
    // The close box: the form goes from inside its window's own event.
    preferences->close();
    EXPECT_FALSE(program.hasSetForm());
    EXPECT_FALSE(preferences->isVisible());
    RunDeferredDeletes();
    EXPECT_TRUE(preferences.isNull());

    program.idPassForm().window.show();
    QPointer<QWidget> account = ShownWindow("ID,PASS");
    ASSERT_NE(account, nullptr);
    program.closeIdPassForm();
    EXPECT_FALSE(account->isVisible());
    RunDeferredDeletes();
    EXPECT_TRUE(account.isNull());
}

TEST_F(ViewHostTest, TheWindowsStillOpenGoWithTheHost) {
    Program& program = startWithViews();
    program.setForm().window.show();
    QPointer<QWidget> preferences = ShownWindow("設定");
    ASSERT_NE(preferences, nullptr);
    views_.reset();
    EXPECT_TRUE(preferences.isNull());
    // The form outlives its window and still closes.
    program.closeSetForm();
    EXPECT_FALSE(program.hasSetForm());
}

}  // namespace
}  // namespace breezel
