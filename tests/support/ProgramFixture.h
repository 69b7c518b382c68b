#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/Program.h"
#include "forms/MainForm.h"
#include "support/FakeServices.h"
#include "support/ManualTimerDriver.h"
#include "support/TempDir.h"

namespace breezel {

/// A program on fakes, with a fresh program folder (holding an empty data folder) and a fresh
/// current directory, both removed afterwards. The log receives every platform call and the
/// creation of every form ("create SetForm"), in order.
class ProgramFixture : public ::testing::Test {
protected:
    ProgramFixture();
    ~ProgramFixture() override;

    /// Creates the program and runs its start-up; beforeStart sees the program before that.
    Program& start(const std::function<void(Program&)>& beforeStart = {});
    /// Starts the program and clears the log of what start-up did.
    MainForm& started();

    /// Writes "[EXEINI]" followed by the given "KEY=value" lines into the preferences file.
    void writePreferences(const std::string& lines);
    void writeAccount(const std::string& lines);
    /// Writes vbmail.ini into the current directory.
    void writeServerFile(const std::string& content);
    std::string preferencesText() const;
    std::filesystem::path dataFolder() const { return programDir_.path() / "★MailData"; }

    TempDir programDir_;
    TempDir currentDir_;
    CallLog log_;
    ManualTimerDriver timers_;
    FakeMailLibrary mail_{log_};
    FakeMailPush push_;
    FakeSignIn signIn_;
    FakeSoundDevice sound_{log_};
    FakeProcessControl process_{log_};
    FakeMessageBox messages_{log_};
    FakeLauncher launcher_{log_};
    FakeDialUp dialUp_{log_};
    FakeDesktop desktop_{log_};
    FakeTray tray_{log_};
    FakeRandom random_;
    FakePictures pictures_;
    FakeSecretStore secrets_;
    FakeDesktopAccounts desktopAccounts_;
    FakeSystemEvents system_;
    std::unique_ptr<Program> program_;

private:
    std::filesystem::path savedCurrentDir_;
};

}  // namespace breezel
