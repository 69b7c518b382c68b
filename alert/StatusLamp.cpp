#include "alert/StatusLamp.h"

#include "app/MainForm.h"
#include "app/Program.h"
#include "platform/Wait.h"

namespace breezel {

namespace {
constexpr int kGreenMs = 2000;
}

Task<> StatusLamp::step() {
    MainForm& main = program_.mainForm();
    if (main.Check3.value() == 1) {
        return blink();
    }
    if (main.Check3.value() == 0) {
        main.Image1.loadPicture(program_.programFile("/画像データ/Green.gif"));
    }
    return {};
}

Task<> StatusLamp::blink() {
    MainForm& main = program_.mainForm();
    main.Image1.loadPicture(program_.programFile("/画像データ/Green.gif"));
    co_await WaitMilliseconds(program_.services().clock, program_.services().timers, kGreenMs);
    // The main window outlives every wait: its timer's reactions go with it.
    main.Image1.loadPicture(program_.programFile("/画像データ/Red.gif"));
}

}  // namespace breezel
