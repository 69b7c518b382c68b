// The views over the real forms, offscreen: where the main window's controls sit, how the
// bindings carry text and ticks both ways, windows that come and go with their forms, the alert
// windows' shapes and layout, and words from outside shown as plain text.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <map>
#include <memory>

#include "forms/Form1.h"
#include "forms/IdPassForm.h"
#include "forms/MailboxForm.h"
#include "forms/MailboxListForm.h"
#include "forms/MsgForm.h"
#include "forms/SetForm.h"
#include "qt/AlertViews.h"
#include "qt/BannerView.h"
#include "qt/Bindings.h"
#include "qt/DialogViews.h"
#include "qt/FanView.h"
#include "qt/MainWindowView.h"
#include "qt/QtServices.h"
#include "qt/ViewHost.h"
#include "support/ProgramFixture.h"
#include "system/pop3/RunTask.h"

namespace breezel {
namespace {

template <typename View>
View* TopLevel() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* view = dynamic_cast<View*>(widget); view != nullptr && view->isVisible()) {
            return view;
        }
    }
    return nullptr;
}

// Widgets of our own classes have no meta-object of their own: findChild cannot tell them.
template <typename W>
W* Descendant(QWidget* parent) {
    for (QWidget* widget : parent->findChildren<QWidget*>()) {
        if (auto* found = dynamic_cast<W*>(widget)) {
            return found;
        }
    }
    return nullptr;
}

template <typename W>
W* Showing(QWidget* parent, const QString& text) {
    for (W* widget : parent->findChildren<W*>()) {
        if (widget->text() == text) {
            return widget;
        }
    }
    return nullptr;
}

class ViewsTest : public ProgramFixture {
protected:
    ViewsTest() {
        // Account and server known: no dialog shows at start-up.
        writeAccount("NAME=me\nNAME2=pw\n");
        writeServerFile("POP3=pop.example.jp\r\n");
    }

    /// Starts the program as main() does: the host is there before the first form.
    Program& startWithViews() {
        return start([this](Program& program) { views_ = std::make_unique<ViewHost>(program); });
    }

    /// Starts with views and shows the preferences dialog.
    SetFormView* showPreferences() {
        startWithViews().setForm().window.show();
        return TopLevel<SetFormView>();
    }

    static void RunDeferredDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::unique_ptr<ViewHost> views_;
};

// Names the main window's widget by what it shows; the separator line is the one bare widget.
std::string ControlOf(QWidget* widget, const MainForm& form) {
    if (dynamic_cast<FanView*>(widget) != nullptr) {
        return "WebBrowser1";
    }
    if (dynamic_cast<BannerView*>(widget) != nullptr) {
        return "Picture5";
    }
    if (dynamic_cast<QLineEdit*>(widget) != nullptr) {
        return "Text5";
    }
    const std::pair<QString, const char*> captions[] = {
        {ToQString(form.Label2.caption()), "Label2"},
        {ToQString(form.Label3.caption()), "Label3"},
        {ToQString(form.Label4.caption()), "Label4"},
        {QString(), "Check3"},
        {ToQString(form.Check2.caption()), "Check2"},
        {ToQString(form.Check4.caption()), "Check4"},
        {ToQString(form.Command2.caption()), "Command2"},
        {ToQString(form.Command3.caption()), "Command3"},
    };
    const auto* label = dynamic_cast<QLabel*>(widget);
    const auto* button = dynamic_cast<QAbstractButton*>(widget);
    if (label != nullptr || button != nullptr) {
        const QString text = label != nullptr ? label->text() : button->text();
        for (const auto& [caption, control] : captions) {
            // A label and a box could show the same text: the kind must match too.
            if (text == caption && (label != nullptr) == (control[0] == 'L')) {
                return control;
            }
        }
        return "?";
    }
    if (Descendant<FanView>(widget) != nullptr) {
        return "Picture2";
    }
    return widget->children().isEmpty() ? "line" : "?";
}

TEST_F(ViewsTest, MainWindowControlsSitAtTheirDesignPlacesInPixels) {
    Program& program = startWithViews();
    auto* window = TopLevel<MainWindowView>();
    ASSERT_NE(window, nullptr);
    QWidget* client = nullptr;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (dynamic_cast<QMenuBar*>(child) == nullptr) {
            client = child;
        }
    }
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->size(), QSize(221, 119));
    EXPECT_EQ(client->y(), window->findChild<QMenuBar*>()->height()) << "right under the menu";

    // Design twips / 15, rounded to the nearest pixel; in the client area.
    const std::map<std::string, QRect> expected{
        {"Picture2", {0, 0, 105, 97}},   {"WebBrowser1", {-13, -17, 241, 217}},
        {"Label4", {109, 8, 33, 17}},    {"Check3", {144, 8, 17, 12}},
        {"Text5", {160, 5, 33, 18}},     {"Label2", {200, 8, 25, 17}},
        {"line", {104, 24, 128, 1}},     {"Label3", {112, 29, 88, 25}},
        {"Check2", {196, 36, 17, 17}},   {"Command2", {112, 56, 57, 20}},
        {"Command3", {168, 56, 41, 20}}, {"Check4", {112, 77, 129, 17}},
        {"Picture5", {0, 99, 233, 20}},
    };
    std::map<std::string, QRect> shown;
    QList<QWidget*> widgets = client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    widgets.append(Descendant<FanView>(client));
    for (QWidget* widget : widgets) {
        const std::string control = ControlOf(widget, program.mainForm());
        EXPECT_TRUE(widget->isVisible()) << control;
        EXPECT_TRUE(
            shown.emplace(control, QRect(widget->mapTo(client, QPoint()), widget->size())).second)
            << "two widgets for " << control;
    }
    for (const auto& [control, rect] : expected) {
        SCOPED_TRACE(control);
        ASSERT_TRUE(shown.count(control));
        EXPECT_EQ(shown.at(control), rect);
    }
    EXPECT_EQ(shown.size(), expected.size()) << "no widget without a control";
}

// Hidden or minimized, the window tells its form so; the label and the fan then step late, with
// wake-ups there are anyway, and stand where they would have been once the window is seen.
TEST_F(ViewsTest, TheMainWindowSaysWhenItCannotBeSeenAndTheFanStepsLate) {
    std::filesystem::create_directories(programDir_.path() / "画像データ");
    std::filesystem::copy_file(BREEZEL_SOURCE_DIR "/assets/program/画像データ/FanMove.gif",
                               programDir_.path() / "画像データ/FanMove.gif");
    MainForm& main = startWithViews().mainForm();
    auto* window = TopLevel<MainWindowView>();
    ASSERT_NE(window, nullptr);
    auto* fan = Descendant<FanView>(window);
    ASSERT_TRUE(RunUntil([&] { return !main.window.unseen(); })) << "seen once exposed";
    EXPECT_FALSE(main.Timer4.deferred());

    main.window.setVisible(false);
    EXPECT_TRUE(main.window.unseen());
    EXPECT_TRUE(main.Timer4.deferred());
    timers_.advance(200);  // past the polls' first beat, after which they rest
    const int frame = fan->currentFrame();
    timers_.advance(600);
    EXPECT_EQ(fan->currentFrame(), frame) << "no wake-up for the fan alone";

    main.window.show();
    ASSERT_TRUE(RunUntil([&] { return !main.window.unseen(); }));
    timers_.settle();
    EXPECT_EQ(fan->currentFrame(), timers_.now() / 80 % 12);

    main.window.minimize();
    ASSERT_TRUE(RunUntil([&] { return main.window.unseen(); })) << "minimized";
    main.window.show();
    ASSERT_TRUE(RunUntil([&] { return !main.window.unseen(); }));
}

TEST_F(ViewsTest, TheIntervalsTextGoesBothWaysAndIsNeverShownBackOverTheUsersTyping) {
    auto* interval = showPreferences()->findChild<QLineEdit*>();
    ASSERT_NE(interval, nullptr);
    auto* status = Showing<QLineEdit>(TopLevel<MainWindowView>(), "0");
    ASSERT_NE(status, nullptr) << "the main window's interval, read-only";
    SetForm& form = program_->setForm();

    int changes = 0;
    form.Text2.onChange.connect([&changes] { ++changes; });
    struct Set {
        const char* set;
        const char* shown;
    };
    for (const Set& row : {Set{"5", "5"}, Set{"12分", "12分"}, Set{"", "0"}}) {
        SCOPED_TRACE(row.set);
        changes = 0;
        form.Text2.setText(row.set);
        EXPECT_EQ(interval->text(), row.shown);
        EXPECT_EQ(status->text(), row.shown);
        // The empty text is the one the form itself changes again, to "0".
        EXPECT_EQ(changes, std::string(row.set).empty() ? 2 : 1);
        EXPECT_EQ(form.Text2.text(), row.shown);
    }

    struct Typed {
        int cursor;
        const char* keys;
        const char* text;
        const char* status;
    };
    const Typed rows[] = {
        {1, "5", "05", "05"},
        {0, "1", "105", "105"},
        {0, "-", "-105", "105"},  // a negative interval changes nothing else
    };
    for (const Typed& row : rows) {
        SCOPED_TRACE(row.text);
        interval->setCursorPosition(row.cursor);
        QTest::keyClicks(interval, row.keys);
        EXPECT_EQ(form.Text2.text(), row.text);
        EXPECT_EQ(status->text(), row.status);
        // Set again from the text box, the field would lose its cursor and undo history.
        EXPECT_EQ(interval->cursorPosition(), row.cursor + 1);
        EXPECT_TRUE(interval->isUndoAvailable());
    }

    // Emptied by the user, the form puts "0" in at once, and the field shows it.
    interval->selectAll();
    QTest::keyClick(interval, Qt::Key_Backspace);
    EXPECT_EQ(form.Text2.text(), "0");
    EXPECT_EQ(interval->text(), "0");
}

TEST_F(ViewsTest, ClicksTickAndClearTheBoxesAndTheProgramsValuesShow) {
    auto* dialog = showPreferences();
    auto* window = TopLevel<MainWindowView>();
    MainForm& main = program_->mainForm();
    SetForm& preferences = program_->setForm();

    struct Row {
        QCheckBox* widget;
        CheckBox& control;
    };
    const Row rows[] = {
        {Showing<QCheckBox>(window, "Check2"), main.Check2},
        {Showing<QCheckBox>(window, "風鈴を鳴らさない"), main.Check4},
        {Showing<QCheckBox>(dialog, ""), preferences.Check1},
        {Showing<QCheckBox>(dialog, "新着お知らせボードを１秒で自動消去させる"),
         preferences.Check2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.control.caption());
        ASSERT_NE(row.widget, nullptr);
        int clicks = 0;
        row.control.onClick.connect([&clicks] { ++clicks; });
        row.widget->click();
        EXPECT_EQ(row.control.value(), 1);
        row.widget->click();
        EXPECT_EQ(row.control.value(), 0);
        EXPECT_EQ(clicks, 2);
        row.control.setValue(1);
        EXPECT_TRUE(row.widget->isChecked());
        EXPECT_EQ(clicks, 3) << "the program's tick is not clicked back";
    }

    // The automatic-check box shows the interval logic's value and takes no click.
    auto* autoCheck = Showing<QCheckBox>(window, "");
    preferences.Text2.setText("3");
    EXPECT_TRUE(autoCheck->isChecked());
    EXPECT_TRUE(autoCheck->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_NE(Showing<QLabel>(window, "ON"), nullptr) << "the status label";
}

TEST(BindingsTest, ALabelFollowsItsCaptionAndWhenPlacedItsPosition) {
    QWidget parent;
    auto* plain = new QLabel(&parent);
    auto* placed = new QLabel(&parent);
    plain->move(7, 7);
    Label caption({1500, 300, 600, 255}, "<b>a</b>");
    Label moving({3000, 150, 600, 255}, "x");
    Bindings bindings;
    bindings.label(plain, caption);
    bindings.label(placed, moving, true);
    EXPECT_EQ(plain->text(), "<b>a</b>");
    EXPECT_EQ(plain->textFormat(), Qt::PlainText) << "outside words are never markup";
    EXPECT_EQ(placed->pos(), QPoint(200, 10));

    caption.setCaption("b");
    caption.setLeft(4500);
    moving.setLeft(-150);
    EXPECT_EQ(plain->text(), "b");
    EXPECT_EQ(plain->pos(), QPoint(7, 7)) << "not placed: stays where the view put it";
    EXPECT_EQ(placed->pos(), QPoint(-10, 10));

    bindings.clear();
    caption.setCaption("c");
    EXPECT_EQ(plain->text(), "b") << "cleared bindings show nothing more";
}

// A server's words in the error box are shown as they are: rendered as markup, they could load
// files or take the window down.
TEST(PlainTextTest, AServersMarkupInTheErrorBoxIsShownLiterally) {
    const std::string hostile =
        "-ERR <b>x</b><img src=/dev/zero><font size=7 color=red>big</font>"
        "<img src=file:///etc/hostname>";
    QtMessageBox messages;
    bool dismissed = false;
    messages.showOk(hostile, "エラー", MessageBox::Icon::None, [&] { dismissed = true; });
    auto* box = TopLevel<QMessageBox>();
    ASSERT_NE(box, nullptr) << "the box is open and the call has returned";
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(), hostile);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    // Drawing it reads no picture: rendered as markup, /dev/zero would never end.
    EXPECT_FALSE(box->grab().isNull());

    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(dismissed);
}

TEST_F(ViewsTest, AClosedDialogComesBackFreshWithTheSavedValues) {
    QPointer<SetFormView> first = showPreferences();
    Program& program = *program_;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->windowTitle(), "設定");
    auto* interval = first->findChild<QLineEdit*>();
    interval->selectAll();
    QTest::keyClicks(interval, "25");
    Showing<QCheckBox>(first, "")->click();  // hang up after the check

    first->close();  // the close box: the form goes from inside its window's own event
    EXPECT_FALSE(program.hasSetForm());
    RunDeferredDeletes();
    EXPECT_TRUE(first.isNull());

    program.setForm().window.show();
    auto* second = TopLevel<SetFormView>();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->findChild<QLineEdit*>()->text(), "25");
    EXPECT_TRUE(Showing<QCheckBox>(second, "")->isChecked());
    EXPECT_FALSE(
        Showing<QCheckBox>(second, "新着お知らせボードを１秒で自動消去させる")->isChecked());
}

// A window manager can close any of our windows (alt+F4): the form ends as the program's own
// close ends it, and the program's own way of opening it works again.
TEST_F(ViewsTest, AWindowClosedFromOutsideComesBackTheProgramsOwnWay) {
    Program& program = startWithViews();
    struct Row {
        const char* name;
        std::function<void()> open;
        std::function<QWidget*()> view;
        std::function<bool()> loaded;
    };
    const Row rows[] = {
        {"chime", [&] { program.mainForm().Command2.click(); }, TopLevel<ChimeWindowView>,
         [&] { return program.hasForm1(); }},
        {"board", [&] { program.msgForm().window.show(); }, TopLevel<MsgFormView>,
         [&] { return program.hasMsgForm(); }},
        {"account", [&] { program.idPassForm().window.show(); }, TopLevel<IdPassFormView>,
         [&] { return program.hasIdPassForm(); }},
        {"server", [&] { program.optionForm(); }, TopLevel<OptionFormView>,
         [&] { return program.hasOptionForm(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.open();
        QWidget* first = row.view();
        ASSERT_NE(first, nullptr);
        first->close();
        EXPECT_FALSE(row.loaded());
        RunDeferredDeletes();
        EXPECT_EQ(row.view(), nullptr);
        row.open();
        QWidget* again = row.view();
        ASSERT_NE(again, nullptr) << "opens again";
        EXPECT_TRUE(row.loaded());
    }
}

// However its form goes, a window goes with it; the windows still open go with the host.
TEST_F(ViewsTest, AWindowGoesWithItsFormAndThoseStillOpenWithTheHost) {
    Program& program = startWithViews();
    program.idPassForm().window.show();
    QPointer<IdPassFormView> account = TopLevel<IdPassFormView>();
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(account->windowTitle(), "ID,PASS");
    program.closeIdPassForm();
    EXPECT_FALSE(account->isVisible());
    RunDeferredDeletes();
    EXPECT_TRUE(account.isNull());

    program.setForm().window.show();
    QPointer<SetFormView> preferences = TopLevel<SetFormView>();
    ASSERT_NE(preferences, nullptr);
    views_.reset();
    EXPECT_TRUE(preferences.isNull());
    // The form outlives its window and still closes.
    program.closeSetForm();
    EXPECT_FALSE(program.hasSetForm());
}

TEST_F(ViewsTest, DialogsOpenSideBySideOnTheScreenAndNoneOverTheMainWindow) {
    auto* dialog = showPreferences();
    Showing<QPushButton>(dialog, "ID/PASS")->click();
    auto* accountView = TopLevel<IdPassFormView>();
    ASSERT_NE(accountView, nullptr) << "opened by its button";
    ASSERT_TRUE(dialog->isVisible()) << "the preferences stay open";
    const QRect preferences = dialog->frameGeometry();
    const QRect account = accountView->frameGeometry();
    const QRect main = TopLevel<MainWindowView>()->frameGeometry();
    EXPECT_GT(account.left(), preferences.right()) << "right of the one shown";
    EXPECT_EQ(account.top(), preferences.top());
    EXPECT_FALSE(preferences.intersects(main));
    EXPECT_FALSE(account.intersects(main));

    // No room left on the right: the next one opens whole on the screen, hiding nothing.
    Showing<QPushButton>(dialog, "POPサーバー")->click();
    auto* serverView = TopLevel<OptionFormView>();
    ASSERT_NE(serverView, nullptr) << "opened by its button";
    const QRect server = serverView->frameGeometry();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(server));
    EXPECT_FALSE(server.intersects(main));
    EXPECT_FALSE(server.intersects(preferences));
    EXPECT_FALSE(server.intersects(account));
}

QImage KeyAsClear(const QImage& picture) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFFu) == 0xC0C0C0u) {
                image.setPixel(x, y, 0);
            }
        }
    }
    return image;
}

// Run once as it is and once with QT_SCALE_FACTOR=2: at 200 % the window keeps its logical
// size and shows the picture drawn at twice the size, which its shape cuts exactly.
TEST_F(ViewsTest, TheChimePictureSuitsThePixelRatioAndItsShapeCutsItExactly) {
    QtDesignPictures real;
    pictures_.frameA = real.chimeFrame(0);
    pictures_.frameB = real.chimeFrame(1);
    const int ratio = qApp->devicePixelRatio() >= 2 ? 2 : 1;
    Program& program = startWithViews();
    program.mainForm().Command2.click();
    auto* chime = TopLevel<ChimeWindowView>();
    ASSERT_NE(chime, nullptr);
    EXPECT_EQ(chime->size(), QSize(100, 100));
    EXPECT_TRUE(chime->mask().isEmpty()) << "no shape before the first swing";
    auto* picture = chime->findChild<QLabel*>();
    ASSERT_NE(picture, nullptr);
    std::map<int, QRegion> masks;  // by picture
    for (int tick = 0; tick < 4; ++tick) {
        timers_.advance(1000);
        const int frame = program.form1().frameIndex();
        SCOPED_TRACE(frame);
        const QPixmap shown = picture->pixmap();
        EXPECT_EQ(shown.devicePixelRatio(), ratio);
        // On a Wayland desktop the key colour is shown see-through: compare it as such.
        QImage image = KeyAsClear(shown.toImage());
        QImage drawn = KeyAsClear(QImage(QStringLiteral(":/design/chime-%1%2.png")
                                             .arg(frame % 2 == 0 ? 'a' : 'b')
                                             .arg(ratio == 2 ? QStringLiteral("@2x") : QString())));
        image.setDevicePixelRatio(1);
        drawn.setDevicePixelRatio(1);
        ASSERT_EQ(image.size(), QSize(100 * ratio, 100 * ratio));
        EXPECT_EQ(image, drawn) << "the picture drawn for this ratio, not another one scaled";
        const QRegion mask = chime->mask();
        int chimePixels = 0;
        int cutWrong = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool chimePixel = qAlpha(image.pixel(x, y)) != 0;
                chimePixels += chimePixel ? 1 : 0;
                cutWrong += chimePixel != mask.contains(QPoint(x / ratio, y / ratio)) ? 1 : 0;
            }
        }
        EXPECT_EQ(cutWrong, 0) << "pixels the shape cuts wrongly";
        EXPECT_GT(chimePixels, 500 * ratio * ratio) << "a chime, not a speck";
        // A slim chime: few enough bands to reshape it cheaply.
        EXPECT_LT(program.form1().shape().size(), 201u);
        masks[frame % 2] = mask;
    }
    ASSERT_EQ(masks.size(), 2u) << "both pictures were shown";
    EXPECT_NE(masks[0], masks[1]) << "the swing shows";
}

TEST_F(ViewsTest, TheBoardIsThinWithTheCountRightAligned) {
    Program& program = startWithViews();
    MsgForm& board = program.msgForm();
    board.Text2.setText("12");
    auto* view = TopLevel<MsgFormView>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->size(), QSize(240, 19));
    auto* message = Showing<QLineEdit>(view, "新着メールがあります。");
    auto* count = Showing<QLineEdit>(view, "12");
    ASSERT_NE(message, nullptr);
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(message->geometry(), QRect(0, 0, 209, 18));
    EXPECT_EQ(count->geometry(), QRect(208, 0, 33, 18));
    EXPECT_EQ(count->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_TRUE(count->isReadOnly());

    // Four digits keep the design's field; a longer count is shown whole, its field growing to
    // the left over the message's empty end but never over its words.
    board.Text1.setText("新着メールが有ります");
    const int wordsEnd = (209 + message->fontMetrics().horizontalAdvance(message->text())) / 2;
    for (const char* digits : {"9999", "12345", "2147483647"}) {
        SCOPED_TRACE(digits);
        board.Text2.setText(digits);
        const QRect field = count->geometry();
        EXPECT_LE(field.right(), view->width());  // as the design field, one pixel past
        if (std::string_view(digits).size() <= 4) {
            EXPECT_EQ(field, QRect(208, 0, 33, 18));
            EXPECT_EQ(view->size(), QSize(240, 19));
            continue;
        }
        EXPECT_GE(field.width() - 6, count->fontMetrics().horizontalAdvance(count->text()))
            << "room for every digit";
        EXPECT_GE(field.left(), wordsEnd);
        // What is drawn: the leftmost ink of the count lies where its first digit begins.
        const QImage drawn = view->grab().toImage();
        int ink = field.right();
        for (int x = field.right(); x >= field.left(); --x) {
            for (int y = 0; y < field.height(); ++y) {
                if (qGray(drawn.pixel(x, y)) < 128) {
                    ink = x;
                }
            }
        }
        EXPECT_LE(ink, field.right() - count->fontMetrics().horizontalAdvance(count->text()) + 4);
    }
}

// Every widget of a fixed-size dialog lies inside it whole, its words uncut, and the dialog fits
// a small screen (1024 by 600 logical pixels) at any ratio.
void ExpectFits(QWidget* dialog) {
    SCOPED_TRACE(dialog->windowTitle().toStdString());
    EXPECT_LE(dialog->width(), 1024);
    EXPECT_LE(dialog->height(), 600);
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(dialog) || widget->parentWidget() != dialog) {
            continue;
        }
        EXPECT_TRUE(dialog->rect().contains(widget->geometry()))
            << widget->metaObject()->className();
        if (dynamic_cast<QLabel*>(widget) != nullptr || dynamic_cast<QAbstractButton*>(widget)) {
            EXPECT_GE(widget->width(), widget->sizeHint().width())
                << "cut: " << widget->property("text").toString().toStdString();
        }
    }
}

// The widgets that Tab visits in turn from first, as far as the chain goes round.
std::vector<QWidget*> TabOrder(QWidget* first) {
    std::vector<QWidget*> order{first};
    for (QWidget* next = first->nextInFocusChain(); next != first;
         next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) != 0 && next->isEnabled() &&
            next->isVisibleTo(first->window())) {
            order.push_back(next);
        }
    }
    return order;
}

// Run once as it is and once with QT_SCALE_FACTOR=2.
TEST_F(ViewsTest, TheMailboxWindowsFitAtThePixelRatioAndTakeTheirKeys) {
    TempDir::Write(dataFolder() / "mailboxes.ini",
                   "[mailbox-2]\nname=仕事\nserver=imaps://imap.example.jp\nid=taro\n");
    Program& program = startWithViews();
    program.mailboxResults()["mailbox-2"] = {0, "-ERR <b>x</b><img src=/dev/zero>", "21:00"};
    program.mainForm().mmailbox.click();
    auto* list = TopLevel<MailboxListFormView>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowTitle(), "メールボックスの一覧");
    ExpectFits(list);
    auto* rows = list->findChild<QTreeWidget*>();
    ASSERT_EQ(rows->topLevelItemCount(), 2);
    EXPECT_EQ(rows->topLevelItem(1)->text(3), "-ERR <b>x</b><img src=/dev/zero>");
    EXPECT_FALSE(list->grab().isNull()) << "drawn without reading any picture";
    auto* remove = Showing<QPushButton>(list, "削除");
    EXPECT_FALSE(remove->isEnabled()) << "the first mailbox stays";
    rows->setCurrentItem(rows->topLevelItem(1));
    EXPECT_EQ(program.mailboxListForm().List1.selected(), 1);
    EXPECT_TRUE(remove->isEnabled());

    // Return edits the chosen mailbox; Escape leaves the dialog unsaved, then closes the list.
    QTest::keyClick(rows, Qt::Key_Return);
    auto* dialog = TopLevel<MailboxFormView>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "メールボックスの編集");
    ExpectFits(dialog);
    const QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
    ASSERT_EQ(edits.size(), 4);
    QLineEdit* name = edits[0];
    QLineEdit* server = edits[1];
    QLineEdit* password = edits[3];
    auto* folders = dialog->findChild<QPlainTextEdit*>();
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(TabOrder(name),
              (std::vector<QWidget*>{
                  name, server, edits[2], password, Showing<QCheckBox>(dialog, "有効(&E)"), folders,
                  Showing<QPushButton>(dialog, "設定"), Showing<QPushButton>(dialog, "中止")}));
    QTest::keyClicks(name, "x");
    QTest::keyClick(name, Qt::Key_Escape);
    EXPECT_FALSE(program.hasMailboxForm());
    EXPECT_FALSE(std::filesystem::exists(dataFolder() / "mailboxes.ini.tmp"));
    EXPECT_EQ(program.furtherMailboxes()[0].name, "仕事") << "nothing saved";

    // A new one: what the server name allows shows; Return in the folders is a new line, in a
    // field it saves.
    Showing<QPushButton>(list, "追加")->click();
    dialog = TopLevel<MailboxFormView>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "メールボックスの追加");
    const QList<QLineEdit*> fresh = dialog->findChildren<QLineEdit*>();
    folders = dialog->findChild<QPlainTextEdit*>();
    QTest::keyClicks(fresh[1], "pop3s://;AUTH=*@pop.example.jp");
    EXPECT_FALSE(fresh[3]->isEnabled()) << "no password for a token";
    EXPECT_FALSE(folders->isEnabled()) << "no folders for POP3";
    fresh[1]->clear();
    QTest::keyClicks(fresh[1], "imaps://imap.example.jp");
    EXPECT_TRUE(fresh[3]->isEnabled());
    EXPECT_TRUE(folders->isEnabled());
    QTest::keyClicks(fresh[2], "hanako");
    QTest::keyClicks(fresh[3], "pw");
    folders->insertPlainText(QStringLiteral("仕事"));  // as an input method commits it
    QTest::keyClick(folders, Qt::Key_Return);
    QTest::keyClicks(folders, "Archive");
    ASSERT_TRUE(program.hasMailboxForm());
    EXPECT_EQ(program.mailboxForm().FolderText.text(), "仕事\nArchive");
    QTest::keyClick(fresh[2], Qt::Key_Return);
    EXPECT_FALSE(program.hasMailboxForm());
    ASSERT_EQ(program.furtherMailboxes().size(), 2u);
    EXPECT_EQ(program.furtherMailboxes()[1].folders, (std::vector<std::string>{"仕事", "Archive"}));
    EXPECT_EQ(rows->topLevelItemCount(), 3) << "the list follows";

    QTest::keyClick(rows, Qt::Key_Escape);
    EXPECT_FALSE(program.hasMailboxListForm());
}

TEST(TrayMenuTest, ListsTheItemsAroundTheSeparatorAndAnswersTheChosenIndex) {
    QtDesktop desktop;
    int chosen = -1;
    desktop.popUpMenu(MainForm::popupMenu(), [&chosen](int index) { chosen = index; });
    QMenu* menu = TopLevel<QMenu>();
    ASSERT_NE(menu, nullptr) << "popped up without a loop of its own";
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("メイン画面を表示"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("終了"));
    items[2]->trigger();
    EXPECT_EQ(chosen, 2) << "the caption's index, counting the separator";
    menu->close();
}

}  // namespace
}  // namespace breezel
