#include "qt/DialogViews.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "forms/IdPassForm.h"
#include "forms/MailboxForm.h"
#include "forms/MailboxListForm.h"
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

// The connections a view makes beyond its bindings end with its form, as the bindings do.
void EndWithForm(Form& form, std::vector<ScopedConnection>& shown, QObject*& input) {
    shown.push_back(form.destroying.connectScoped([&shown, &input] {
        delete input;
        input = nullptr;
        // Cleared after this slot has run: the signal holds its own copy.
        for (ScopedConnection& connection : shown) {
            connection.disconnect();
        }
    }));
}

bool ShowsRows(const QTreeWidget& tree, const std::vector<RowList::Row>& rows) {
    if (tree.topLevelItemCount() != static_cast<int>(rows.size())) {
        return false;
    }
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        for (int column = 0; column < static_cast<int>(rows[i].size()); ++column) {
            if (tree.topLevelItem(i)->text(column) != ToQString(rows[i][column])) {
                return false;
            }
        }
    }
    return true;
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

MailboxListFormView::MailboxListFormView(MailboxListForm& form, std::function<void()> onClose)
    : FormView(form, std::move(onClose)), input_(new QObject(this)) {
    StyleDialog(this);
    Bindings& b = bindings();
    auto* list = new QTreeWidget;
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setMinimumSize(560, 150);
    QStringList columns;
    for (const std::string& column : form.List1.columns()) {
        columns << ToQString(column);
    }
    list->setHeaderLabels(columns);
    auto* caption = MakeLabel(b, form.Label1);
    caption->setBuddy(list);

    auto* add = MakeButton(b, form.AddCommand);
    auto* edit = MakeButton(b, form.EditCommand);
    auto* remove = MakeButton(b, form.RemoveCommand);
    auto* desktop = MakeButton(b, form.DesktopCommand);
    auto* close = MakeButton(b, form.CloseCommand);
    edit->setDefault(true);
    setDialogButtons(edit, close);

    // Item views draw their texts as they are: a server's words never turn into markup.
    const auto show = [list, edit, remove, &form] {
        const RowList& rows = form.List1;
        const QSignalBlocker block(list);
        if (!ShowsRows(*list, rows.rows())) {
            list->clear();
            for (const RowList::Row& row : rows.rows()) {
                QStringList texts;
                for (const std::string& text : row) {
                    texts << ToQString(text);
                }
                list->addTopLevelItem(new QTreeWidgetItem(texts));
            }
            for (int column = 0; column < list->columnCount(); ++column) {
                list->resizeColumnToContents(column);
            }
        }
        if (QTreeWidgetItem* chosen = list->topLevelItem(rows.selected())) {
            list->setCurrentItem(chosen);
        } else {
            list->clearSelection();
        }
        edit->setEnabled(rows.selected() >= 0);
        remove->setEnabled(form.removable());
    };
    show();
    shown_.push_back(form.List1.changed.connectScoped(show));
    EndWithForm(form, shown_, input_);
    connect(list, &QTreeWidget::currentItemChanged, input_, [list, &form](QTreeWidgetItem* item) {
        form.List1.select(item != nullptr ? list->indexOfTopLevelItem(item) : -1);
    });
    connect(list, &QTreeWidget::itemDoubleClicked, input_, [&form] { form.EditCommand.click(); });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(edit);
    buttons->addWidget(remove);
    buttons->addWidget(desktop);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* grid = new QGridLayout;
    grid->addWidget(caption, 0, 0);
    grid->addWidget(list, 1, 0);
    grid->addLayout(buttons, 1, 1);
    Finish(this, grid);
}

MailboxFormView::MailboxFormView(MailboxForm& form, std::function<void()> onClose)
    : FormView(form, std::move(onClose)), input_(new QObject(this)) {
    StyleDialog(this);
    Bindings& b = bindings();
    auto* grid = new QGridLayout;
    int line = 0;
    const auto field = [&](Label& caption, QWidget* edit) {
        auto* label = MakeLabel(b, caption);
        label->setBuddy(edit);
        grid->addWidget(label, line, 0);
        grid->addWidget(edit, line++, 1);
    };
    const auto hint = [&](Label& caption) {
        auto* label = MakeLabel(b, caption);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(0x40, 0x40, 0x40));
        label->setPalette(palette);
        grid->addWidget(label, line++, 1);
    };
    auto* name = MakeEdit(b, form.NameText);
    auto* server = MakeEdit(b, form.ServerText);
    auto* id = MakeEdit(b, form.IdText);
    auto* password = MakeEdit(b, form.PassText);
    password->setEchoMode(QLineEdit::Password);
    password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    server->setMinimumWidth(300);
    field(form.Label1, name);
    field(form.Label2, server);
    hint(form.Label3);
    field(form.Label4, id);
    field(form.Label5, password);
    hint(form.Label6);
    auto* enabled = MakeCheck(b, form.EnabledCheck);
    grid->addWidget(enabled, line++, 1);

    auto* foldersCaption = MakeLabel(b, form.Label7);
    auto* folders = new QPlainTextEdit;
    folders->setTabChangesFocus(true);
    folders->setFixedHeight(folders->fontMetrics().lineSpacing() * 4 + 12);
    foldersCaption->setBuddy(folders);
    grid->addWidget(foldersCaption, line++, 0, 1, 2);
    grid->addWidget(folders, line++, 0, 1, 2);
    grid->addLayout(MakeOkCancelRow(this, b, form.OKCommand, form.CancelCommand), line, 0, 1, 2);

    // The folders go both ways as a text box's text does; what the server name allows, the
    // form says.
    const auto show = [folders, password, &form] {
        const QString text = ToQString(form.FolderText.text());
        if (folders->toPlainText() != text) {
            const QSignalBlocker block(folders);
            folders->setPlainText(text);
        }
        password->setEnabled(form.passwordWanted());
        folders->setEnabled(form.foldersWanted());
    };
    show();
    shown_.push_back(form.FolderText.changed.connectScoped(show));
    shown_.push_back(form.ServerText.changed.connectScoped(show));
    EndWithForm(form, shown_, input_);
    connect(folders, &QPlainTextEdit::textChanged, input_,
            [folders, &form] { form.FolderText.setText(ToStdString(folders->toPlainText())); });

    Finish(this, grid);
    QWidget* order[] = {name, server, id, password, enabled, folders};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

}  // namespace breezel
