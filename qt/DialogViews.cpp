#include "qt/DialogViews.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms/IdPassForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "qt/Fonts.h"

namespace breezel {

namespace {

constexpr Qt::WindowFlags kDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

void StyleDialog(QWidget* dialog) {
    dialog->setWindowFlags(kDialogFlags);
    dialog->setFont(DefaultFont());
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}

QLabel* MakeLabel(Bindings& bindings, Label& control) {
    auto* label = new QLabel;
    bindings.label(label, control);
    return label;
}

QPushButton* MakeButton(Bindings& bindings, CommandButton& control) {
    auto* button = new QPushButton;
    bindings.button(button, control);
    return button;
}

QLineEdit* MakeEdit(Bindings& bindings, TextBox& control) {
    auto* edit = new QLineEdit;
    bindings.text(edit, control);
    return edit;
}

QCheckBox* MakeCheck(Bindings& bindings, CheckBox& control) {
    auto* box = new QCheckBox(ToQString(control.caption()));
    bindings.check(box, control);
    return box;
}

// The accept button on the left, pressed by Return; the cancel button on the right, by Escape.
QHBoxLayout* MakeOkCancelRow(FormView* view, Bindings& bindings, CommandButton& ok,
                             CommandButton& cancel) {
    auto* row = new QHBoxLayout;
    auto* accept = MakeButton(bindings, ok);
    auto* dismiss = MakeButton(bindings, cancel);
    accept->setDefault(true);
    row->addWidget(accept);
    row->addStretch();
    row->addWidget(dismiss);
    view->setDialogButtons(accept, dismiss);
    return row;
}

QFrame* MakeSeparator() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// Fixed-size windows, as small as their contents allow.
void Finish(FormView* view, QLayout* layout) {
    layout->setSizeConstraint(QLayout::SetFixedSize);
    view->setLayout(layout);
    view->syncWindow();
}

}  // namespace

SetFormView::SetFormView(SetForm& form, std::function<void()> onClose)
    : FormView(form, std::move(onClose)) {
    StyleDialog(this);
    Bindings& b = bindings();
    auto* layout = new QVBoxLayout;

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MakeButton(b, form.Command1));
    buttons->addWidget(MakeButton(b, form.Command2));
    buttons->addStretch();
    layout->addLayout(buttons);

    auto* hangUp = new QHBoxLayout;
    auto* hangUpBox = MakeCheck(b, form.Check1);
    auto* hangUpText = MakeLabel(b, form.Label1);
    hangUpText->setBuddy(hangUpBox);
    hangUp->addWidget(hangUpBox);
    hangUp->addWidget(hangUpText, 1);
    layout->addLayout(hangUp);

    auto* heading = MakeLabel(b, form.Label5);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    auto* explanation = MakeLabel(b, form.Label3);
    explanation->setWordWrap(true);
    explanation->setFixedWidth(300);
    layout->addWidget(explanation);

    auto* interval = new QHBoxLayout;
    auto* minutes = MakeEdit(b, form.Text2);
    minutes->setFixedWidth(60);
    minutes->setAlignment(Qt::AlignRight);
    interval->addWidget(minutes);
    interval->addWidget(MakeLabel(b, form.Label2));
    interval->addStretch();
    layout->addLayout(interval);

    layout->addWidget(MakeCheck(b, form.Check2));
    layout->addWidget(MakeSeparator());
    Finish(this, layout);
}

IdPassFormView::IdPassFormView(IdPassForm& form, std::function<void()> onClose)
    : FormView(form, std::move(onClose)) {
    StyleDialog(this);
    Bindings& b = bindings();
    auto* grid = new QGridLayout;
    auto* id = MakeEdit(b, form.IdText);
    auto* password = MakeEdit(b, form.PassText);
    password->setEchoMode(QLineEdit::Password);
    // Every character of the password shows as '*'.
    password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    id->setMinimumWidth(180);

    grid->addWidget(MakeLabel(b, form.Label1), 0, 0);
    grid->addWidget(id, 0, 1);
    grid->addWidget(MakeLabel(b, form.Label2_0), 1, 0);
    grid->addWidget(password, 1, 1);
    auto* save = new QHBoxLayout;
    save->addWidget(MakeCheck(b, form.Check1));
    save->addWidget(MakeLabel(b, form.Label2_1), 1);
    grid->addLayout(save, 2, 0, 1, 2);
    grid->addLayout(MakeOkCancelRow(this, b, form.OKCommand, form.CancelCommand), 3, 0, 1, 2);
    Finish(this, grid);
}

OptionFormView::OptionFormView(OptionForm& form, std::function<void()> onClose)
    : FormView(form, std::move(onClose)) {
    StyleDialog(this);
    Bindings& b = bindings();
    auto* layout = new QVBoxLayout;
    const auto field = [&](Label& caption, TextBox& text) {
        auto* label = MakeLabel(b, caption);
        auto* edit = MakeEdit(b, text);
        edit->setMinimumWidth(240);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
    };
    field(form.Label1, form.SmtpText);
    field(form.Label2, form.Pop3Text);
    field(form.Label3, form.MailText);
    layout->addWidget(MakeCheck(b, form.ApopCheck));
    layout->addLayout(MakeOkCancelRow(this, b, form.OKCommand, form.CancelCommand));
    Finish(this, layout);
}

}  // namespace breezel
