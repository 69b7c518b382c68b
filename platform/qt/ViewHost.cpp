#include "platform/qt/ViewHost.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "alert/Form1.h"
#include "alert/MsgForm.h"
#include "app/MainForm.h"
#include "app/Program.h"
#include "platform/qt/AlertViews.h"
#include "platform/qt/DialogViews.h"
#include "platform/qt/MainWindowView.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"

namespace breezel {

namespace {
constexpr int kDialogMargin = 40;
constexpr int kDialogGap = 16;
}  // namespace

ViewHost::ViewHost(Program& program) : program_(program) {
    formCreated_ = program.formCreated.connectScoped([this](Form& form) { createView(form); });
}

ViewHost::~ViewHost() {
    for (const auto& view : views_) {
        delete view.data();
    }
}

void ViewHost::createView(Form& form) {
    std::erase_if(views_, [](const auto& view) { return view.isNull(); });
    FormView* view = nullptr;
    FormView* dialog = nullptr;
    if (auto* main = dynamic_cast<MainForm*>(&form)) {
        view =
            new MainWindowView(*main, program_.services().timers, [main] { main->Form_Unload(); });
    } else if (auto* preferences = dynamic_cast<SetForm*>(&form)) {
        view = dialog = new SetFormView(*preferences, [this] { program_.closeSetForm(); });
    } else if (auto* account = dynamic_cast<IdPassForm*>(&form)) {
        view = dialog = new IdPassFormView(*account, [this] { program_.closeIdPassForm(); });
    } else if (auto* server = dynamic_cast<OptionForm*>(&form)) {
        view = dialog = new OptionFormView(*server, [this] { program_.closeOptionForm(); });
    } else if (auto* board = dynamic_cast<MsgForm*>(&form)) {
        view = new MsgFormView(*board, [this] { program_.closeMsgForm(); });
    } else if (auto* chime = dynamic_cast<Form1*>(&form)) {
        // The chime has no close box; whatever closes it otherwise leaves it to the alert reset.
        view = new ChimeWindowView(*chime, {});
    }
    if (view == nullptr) {
        return;
    }
    if (dialog != nullptr) {
        dialog->setPlacement([this](QWidget& widget) { placeDialog(widget); });
    }
    views_.emplace_back(view);
}

void ViewHost::placeDialog(QWidget& dialog) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    // Right of the right-most dialog already shown, or at the top left of the screen.
    QPoint place(area.left() + kDialogMargin, area.top() + kDialogMargin);
    for (const auto& view : views_) {
        if (view && view != &dialog && view->isVisible() &&
            dynamic_cast<MainWindowView*>(view.data()) == nullptr) {
            const QRect frame = view->frameGeometry();
            place.setX(std::max(place.x(), frame.right() + kDialogGap));
        }
    }
    dialog.adjustSize();
    if (place.x() + dialog.width() > area.right()) {
        place.setX(area.left() + kDialogMargin);
    }
    dialog.move(place);
}

}  // namespace breezel
