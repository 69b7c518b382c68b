#include "alert/StatusLamp.h"

#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "platform/Wait.h"

namespace breezel {

namespace {
constexpr int kGreenMs = 2000;
}

Task<> StatusLamp::step() {
    MainForm& main = context_.mainForm();
    if (main.Check3.value() == 1) {
        return blink();
    }
    if (main.Check3.value() == 0) {
        main.Image1.loadPicture(context_.programFile("/画像データ/Green.gif"));
    }
    return {};
}

Task<> StatusLamp::blink() {
    MainForm& main = context_.mainForm();
    main.Image1.loadPicture(context_.programFile("/画像データ/Green.gif"));
    co_await WaitMilliseconds(context_.services().clock, context_.services().timers, kGreenMs);
    // The main window outlives every wait: its timer's reactions go with it.
    main.Image1.loadPicture(context_.programFile("/画像データ/Red.gif"));
}

}  // namespace breezel
