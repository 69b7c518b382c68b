#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/Task.h"
#include "controls/CommandButton.h"
#include "controls/Control.h"
#include "controls/Form.h"
#include "controls/Label.h"

namespace breezel {

class FormContext;

/// The lines of a list as shown, each a row of texts under the column captions, and which line
/// is chosen.
class RowList : public Control {
public:
    using Row = std::vector<std::string>;

    explicit RowList(std::vector<std::string> columns) : columns_(std::move(columns)) {}

    const std::vector<std::string>& columns() const { return columns_; }
    const std::vector<Row>& rows() const { return rows_; }
    /// The chosen line, or -1 when none is.
    int selected() const { return selected_; }

    void setRows(std::vector<Row> rows, int selected) {
        rows_ = std::move(rows);
        selected_ = clamped(selected);
        changed.notify();
    }
    void select(int row) {
        if (clamped(row) != selected_) {
            selected_ = clamped(row);
            changed.notify();
        }
    }

private:
    int clamped(int row) const {
        return row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
    }

    std::vector<std::string> columns_;
    std::vector<Row> rows_;
    int selected_ = -1;
};

/// The window listing every mailbox: the first (edited through the server and account
/// dialogs), then the further ones, each with its name, server name, on or off, and its last
/// result. It follows every change of the mailboxes and of their results while it is open.
class MailboxListForm : public Form {
public:
    explicit MailboxListForm(FormContext& context);

    /// Load step: shown, the list filled, the first line chosen.
    void Form_Load();
    /// Reads the mailboxes and results again; the chosen mailbox stays chosen.
    void Refresh();
    /// Add: the edit dialog, empty.
    void AddCommand_Click();
    /// Edit: the first mailbox's server and account dialogs, or the edit dialog for another.
    void EditCommand_Click();
    /// Remove: asks first; then the mailbox, its password and its result are gone.
    void RemoveCommand_Click();
    /// From the desktop: the desktop's mail accounts that no mailbox names yet, added in one
    /// step once the user agrees.
    void DesktopCommand_Click();
    void CloseCommand_Click();

    /// Whether the chosen line may be removed: the first mailbox may not.
    bool removable() const { return List1.selected() > 0; }

    Label Label1{{}, "メールボックス(&L)"};
    RowList List1{{"名前", "サーバー", "状態", "最後の確認"}};
    CommandButton AddCommand{{}, "追加"};
    CommandButton EditCommand{{}, "編集"};
    CommandButton RemoveCommand{{}, "削除"};
    CommandButton DesktopCommand{{}, "デスクトップから"};
    CommandButton CloseCommand{{}, "閉じる"};

private:
    FormContext& context_;
    /// The key of each line's mailbox, "" for the first.
    std::vector<std::string> keys_;
    ScopedConnection mailboxChanged_;
    ScopedConnection resultsChanged_;
};

}  // namespace breezel
