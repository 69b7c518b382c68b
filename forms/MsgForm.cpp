#include "forms/MsgForm.h"

namespace breezel {

MsgForm::MsgForm(FormContext&) : Form("MsgForm", "新着お知らせボード", 3600, 285) {}

void MsgForm::Form_Load() {
    window.setTopmost(true);
    window.show();
}

}  // namespace breezel
