#include "app/Program.h"

#include "forms/MainForm.h"
#include "mail/DialUp.h"

namespace breezel {

Program::Program(Services services, std::string programFolder)
    : FormContext(services, std::move(programFolder)) {}

Program::~Program() {
    // The forms' timers and the waiting reactions refer to the controllers: they go first.
    destroyForms();
}

void Program::start() {
    if (hasMainForm()) {
        return;
    }
    MainForm& main = createMainForm();
    wire(main);
    main.Form_Load();
    // Push once the settings are all loaded; from here on it follows their changes, and the
    // machine's sleep and network.
    awake_.follow();
    pushes_.follow();
}

void Program::wire(MainForm& main) {
    main.Timer1.setWork([this] { return schedule_.poll(); });
    main.Timer2.onTimer.connect([this] { alert_.poll(); });
    main.Timer3.onTimer.connect([this] { schedule_.secondTick(); });
    main.Timer5.setWork([this] { return lamp_.step(); });
    main.silenceAlert.connect([this] { alert_.silence(); });
    main.closing.connect([this] { pushes_.stop(); });
    main.Check4.onClick.connect([this] { alert_.silence(); });
    main.Command2.onClick.connect([this] { alert_.start(); });
    main.Command3.onClick.connect([this] { alert_.reset(); });
    main.Command5.onClick.connect([this] { spawn(HangUpDialUpConnections(services().dialUp)); });
    main.Command8.onClick.connect([this] { spawn(mailCheck_.CheckMail(true)); });
    main.Picture7.onClick.connect([this] { spawn(mailCheck_.CheckMail(true)); });
}

}  // namespace breezel
