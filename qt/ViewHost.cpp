#include "qt/ViewHost.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "forms/Form1.h"
#include "forms/FormContext.h"
#include "forms/IdPassForm.h"
#include "forms/MailboxForm.h"
#include "forms/MailboxListForm.h"
#include "forms/MainForm.h"
#include "forms/MsgForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "qt/AlertViews.h"
#include "qt/DialogViews.h"
#include "qt/MainWindowView.h"

namespace breezel {

namespace {
constexpr int kDialogMargin = 40;
constexpr int kDialogGap = 16;
}  // namespace

ViewHost::ViewHost(FormContext& forms) : forms_(forms) {
    formCreated_ = forms.formCreated.connectScoped([this](Form& form) { createView(form); });
}

ViewHost::~ViewHost() = default;

void ViewHost::createView(Form& form) {
    FormView* view = nullptr;
    FormView* dialog = nullptr;
    if (auto* main = dynamic_cast<MainForm*>(&form)) {
        view = new MainWindowView(*main, forms_.services().timers, [main] { main->Form_Unload(); });
    } else if (auto* preferences = dynamic_cast<SetForm*>(&form)) {
        view = dialog = new SetFormView(*preferences, [this] { forms_.closeSetForm(); });
    } else if (auto* account = dynamic_cast<IdPassForm*>(&form)) {
        view = dialog = new IdPassFormView(*account, [this] { forms_.closeIdPassForm(); });
    } else if (auto* server = dynamic_cast<OptionForm*>(&form)) {
        view = dialog = new OptionFormView(*server, [this] { forms_.closeOptionForm(); });
    } else if (auto* list = dynamic_cast<MailboxListForm*>(&form)) {
        view = dialog = new MailboxListFormView(*list, [this] { forms_.closeMailboxListForm(); });
    } else if (auto* mailbox = dynamic_cast<MailboxForm*>(&form)) {
        view = dialog = new MailboxFormView(*mailbox, [this] { forms_.closeMailboxForm(); });
    } else if (auto* board = dynamic_cast<MsgForm*>(&form)) {
        view = new MsgFormView(*board, [this] { forms_.closeMsgForm(); });
    } else if (auto* chime = dynamic_cast<Form1*>(&form)) {
        // The chime has no close box, but a window manager can close it (alt+F4): that unloads
        // it as the alert reset does, so that the next alert loads it again.
        view = new ChimeWindowView(*chime, [this] { forms_.closeForm1(); });
    }
    if (view == nullptr) {
        return;
    }
    if (dialog != nullptr) {
        dialog->setPlacement([this](QWidget& widget) { placeDialog(widget); });
    }
    views_.push_back({std::unique_ptr<FormView>(view),
                      form.destroying.connectScoped([this, view] { retire(view); })});
}

void ViewHost::retire(const FormView* view) {
    const auto found = std::find_if(views_.begin(), views_.end(),
                                    [view](const View& v) { return v.widget.get() == view; });
    if (found == views_.end()) {
        return;
    }
    // The form may go from inside one of the view's own events (its close box, a button): the
    // event loop deletes the view once that event is over.
    found->widget.release()->deleteLater();
    views_.erase(found);
}

void ViewHost::placeDialog(QWidget& dialog) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    // Every window already shown, main window included, is in the way; the dialog's own frame
    // is not known before it is shown, so it is taken to be like theirs.
    std::vector<QRect> taken;
    QMargins frame;
    for (const View& view : views_) {
        const FormView* shown = view.widget.get();
        if (shown != &dialog && shown->isVisible()) {
            taken.push_back(shown->frameGeometry());
            frame = QMargins(shown->geometry().left() - shown->frameGeometry().left(),
                             shown->geometry().top() - shown->frameGeometry().top(), 0, 0);
        }
    }
    dialog.adjustSize();
    const QSize size = dialog.size().grownBy(frame);
    // Rows from the top left: the first place where the dialog hides nothing and stays whole on
    // the screen; the top left when there is none.
    QPoint place(area.left() + kDialogMargin, area.top() + kDialogMargin);
    for (int y = place.y(); y + size.height() <= area.bottom();) {
        int nextRow = area.bottom() + 1;
        for (int x = area.left() + kDialogMargin; x + size.width() <= area.right();) {
            const QRect wanted(QPoint(x, y), size);
            const auto in = std::find_if(taken.begin(), taken.end(),
                                         [&](const QRect& r) { return r.intersects(wanted); });
            if (in == taken.end()) {
                dialog.move(x, y);
                return;
            }
            x = in->right() + kDialogGap;
            nextRow = std::min(nextRow, in->bottom() + kDialogGap);
        }
        y = nextRow;
    }
    dialog.move(place);
}

}  // namespace breezel
