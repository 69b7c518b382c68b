#include "alert/StatusLamp.h"

#include "app/MainForm.h"
#include "app/Program.h"
#include "mail/Wait.h"

namespace breezel {

namespace {
constexpr int kGreenMs = 2000;
}

void StatusLamp::step() {
    if (stepping_) {
        return;
    }
    MainForm& main = program_.mainForm();
    const std::string green = program_.programFile("/画像データ/Green.gif");
    if (main.Check3.value() == 1) {
        stepping_ = true;
        main.Image1.loadPicture(green);
        WaitMilliseconds(program_.services().clock, program_.services().events, kGreenMs);
        // The main window outlives every wait: the process ends without unwinding.
        program_.mainForm().Image1.loadPicture(program_.programFile("/画像データ/Red.gif"));
        stepping_ = false;
    } else if (main.Check3.value() == 0) {
        main.Image1.loadPicture(green);
    }
}

}  // namespace breezel
