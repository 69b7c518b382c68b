#include "support/ProgramFixture.h"

namespace breezel {

ProgramFixture::ProgramFixture() : savedCurrentDir_(std::filesystem::current_path()) {
    mail_.timers = &timers_;
    std::filesystem::create_directory(dataFolder());
    std::filesystem::current_path(currentDir_.path());
}

ProgramFixture::~ProgramFixture() {
    program_.reset();
    std::filesystem::current_path(savedCurrentDir_);
}

Program& ProgramFixture::start(const std::function<void(Program&)>& beforeStart) {
    program_ = std::make_unique<Program>(
        Services{timers_, timers_, mail_, push_, signIn_, sound_, process_, messages_, launcher_,
                 dialUp_, desktop_, random_, pictures_, tray_, secrets_, desktopAccounts_, system_},
        programDir_.path().string());
    program_->formCreated.connect([this](Form& form) { log_.push_back("create " + form.name()); });
    if (beforeStart) {
        beforeStart(*program_);
    }
    program_->start();
    return *program_;
}

MainForm& ProgramFixture::started() {
    MainForm& main = start().mainForm();
    log_.clear();
    return main;
}

void ProgramFixture::writePreferences(const std::string& lines) {
    TempDir::Write(dataFolder() / "ini.ini", "[EXEINI]\n" + lines);
}

void ProgramFixture::writeAccount(const std::string& lines) {
    TempDir::Write(dataFolder() / "iniIdPass.ini", "[EXEINI]\n" + lines);
}

void ProgramFixture::writeServerFile(const std::string& content) {
    TempDir::Write(currentDir_.path() / "vbmail.ini", content);
}

std::string ProgramFixture::preferencesText() const {
    return TempDir::Read(dataFolder() / "ini.ini");
}

}  // namespace breezel
