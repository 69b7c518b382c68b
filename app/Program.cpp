#include "app/Program.h"

#include "alert/Form1.h"
#include "alert/MsgForm.h"
#include "app/MainForm.h"
#include "common/FileUrl.h"
#include "platform/TimerDriver.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"

namespace breezel {

Program::Program(Services services, std::string programFolder)
    : services_(services), programFolder_(std::move(programFolder)) {}

Program::~Program() {
    reactions_.cancelAll();
    // Other windows first: their timers and views may refer to the main window.
    destroy(form1_);
    destroy(msgForm_);
    destroy(optionForm_);
    destroy(idPassForm_);
    destroy(setForm_);
    destroy(mainForm_);
}

void Program::start() {
    if (mainForm_) {
        return;
    }
    mainForm_ = std::make_unique<MainForm>(*this);
    for (Timer* timer : mainForm_->timers()) {
        services_.timers.attach(*timer);
    }
    formCreated.notify(*mainForm_);
    mainForm_->Form_Load();
}

MainForm& Program::mainForm() {
    // The main window is created by start() only; every other form refers to it.
    return *mainForm_;
}

template <typename F>
F& Program::create(std::unique_ptr<F>& slot) {
    if (!slot) {
        slot = std::make_unique<F>(*this);
        F& form = *slot;
        for (Timer* timer : form.timers()) {
            services_.timers.attach(*timer);
        }
        formCreated.notify(form);
        // A use of the dialog's controls from inside its own load step finds this object.
        form.Form_Load();
    }
    return *slot;
}

template <typename F>
void Program::destroy(std::unique_ptr<F>& slot) {
    if (!slot) {
        return;
    }
    // Taken out first, so that a use during destruction creates a fresh dialog.
    std::unique_ptr<F> form = std::move(slot);
    for (Timer* timer : form->timers()) {
        services_.timers.detach(*timer);
    }
    form.reset();
}

SetForm& Program::setForm() {
    return create(setForm_);
}
IdPassForm& Program::idPassForm() {
    return create(idPassForm_);
}
OptionForm& Program::optionForm() {
    return create(optionForm_);
}

void Program::closeSetForm() {
    if (setForm_) {
        setForm_->Form_Unload();
        destroy(setForm_);
    }
}

void Program::closeIdPassForm() {
    destroy(idPassForm_);
}
void Program::closeOptionForm() {
    destroy(optionForm_);
}

MsgForm& Program::msgForm() {
    return create(msgForm_);
}

Form1& Program::form1() {
    return create(form1_);
}

void Program::closeMsgForm() {
    destroy(msgForm_);
}

void Program::closeForm1() {
    destroy(form1_);
}

std::string Program::fanPictureUrl() const {
    return FileUrl(programFile("/画像データ/FanMove.gif"));
}

IniFile Program::preferences() const {
    return IniFile(programFolder_ + "/★MailData/ini.ini");
}

IniFile Program::accountFile() const {
    return IniFile(programFolder_ + "/★MailData/iniIdPass.ini", FileAccess::OwnerOnly);
}

}  // namespace breezel
