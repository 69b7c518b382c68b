#include "alert/MsgForm.h"

namespace breezel {

MsgForm::MsgForm(Program&) : Form("MsgForm", "新着お知らせボード", 3600, 285) {}

void MsgForm::Form_Load() {
    window.setTopmost(true);
    window.show();
}

}  // namespace breezel
