#include "alert/Alert.h"

#include "forms/Form1.h"
#include "forms/FormContext.h"
#include "forms/MainForm.h"
#include "platform/SoundDevice.h"

namespace breezel {

namespace {
constexpr const char* kAlias = "bgm";
}  // namespace

void Alert::start() {
    MainForm& main = context_.mainForm();
    SoundDevice& sound = context_.services().sound;
    if (main.Check4.value() == 0) {
        // A device still open (playing, or at the end of a non-looping sound) makes the open
        // fail, and play then goes on from where that sound is.
        sound.open(context_.programFile("/Sound/Kouka.wav"), kAlias);
        sound.play(kAlias);
        main.Timer2.setResting(false);
    }
    context_.form1().window.show();
}

void Alert::reset() {
    silence();
    MainForm& main = context_.mainForm();
    main.WebBrowser1.navigate(context_.fanPictureUrl());
    context_.closeForm1();
}

void Alert::poll() {
    MainForm& main = context_.mainForm();
    SoundDevice& sound = context_.services().sound;
    const std::string mode = sound.mode(kAlias);
    if (mode.compare(0, 7, "stopped") != 0) {
        return;
    }
    if (main.Check1.value() != 0) {
        sound.playFromStart(kAlias);
    } else {
        silence();
        main.Timer2.setEnabled(false);
    }
}

void Alert::silence() {
    SoundDevice& sound = context_.services().sound;
    sound.stop(kAlias);
    sound.close(kAlias);
    // With no sound open the poll finds nothing, until the next start opens one.
    context_.mainForm().Timer2.setResting(true);
}

}  // namespace breezel
