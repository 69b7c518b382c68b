#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/controls/Signal.h"
#include "settings/IniFile.h"
#include "settings/ServerSettings.h"

namespace breezel {

class Form;
class IdPassForm;
class MailLibrary;
class MainForm;
class OptionForm;
class ProcessControl;
class SetForm;
class SoundDevice;
class TimerDriver;

/// The platform services the logic talks to.
struct Services {
    TimerDriver& timers;
    MailLibrary& mail;
    SoundDevice& sound;
    ProcessControl& process;
};

/// The running program: its forms, the shared settings variables and the paths of its files.
/// Dialogs come into being on first use of any of their controls, as the forms expect: touching
/// setForm() creates the preferences dialog hidden and runs its load step.
class Program {
public:
    /// programFolder: the folder of the executable, without a trailing separator.
    Program(Services services, std::string programFolder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    /// Creates the main window and runs its load step: the whole start-up.
    void start();

    MainForm& mainForm();
    /// The preferences dialog, created hidden (with its load step) when it does not exist.
    SetForm& setForm();
    /// The account dialog, created hidden (with its load step) when it does not exist.
    IdPassForm& idPassForm();
    /// The server settings dialog, created (its load step shows it) when it does not exist.
    OptionForm& optionForm();
    bool hasSetForm() const { return setForm_ != nullptr; }
    bool hasIdPassForm() const { return idPassForm_ != nullptr; }
    bool hasOptionForm() const { return optionForm_ != nullptr; }

    /// Closes a dialog as the user does: its closing step, then it is destroyed.
    void closeSetForm();
    void closeIdPassForm();
    void closeOptionForm();

    SharedSettings& settings() { return settings_; }
    const Services& services() const { return services_; }
    const std::string& programFolder() const { return programFolder_; }

    /// The preferences file: program folder + "/★MailData/ini.ini".
    IniFile preferences() const;
    /// The account file: program folder + "/★MailData/iniIdPass.ini", readable by its owner only.
    IniFile accountFile() const;
    /// The server settings file, addressed by its bare name: it is in the current directory.
    std::filesystem::path serverSettingsFile() const { return "vbmail.ini"; }
    /// A file of the program folder, from a relative path such as "/Sound/Kouka.wav".
    std::string programFile(const std::string& relative) const { return programFolder_ + relative; }

    /// A form came into being; views create their widget for it.
    Signal<Form&> formCreated;

private:
    template <typename F>
    F& create(std::unique_ptr<F>& slot);
    template <typename F>
    void destroy(std::unique_ptr<F>& slot);

    Services services_;
    std::string programFolder_;
    SharedSettings settings_;
    std::unique_ptr<MainForm> mainForm_;
    std::unique_ptr<SetForm> setForm_;
    std::unique_ptr<IdPassForm> idPassForm_;
    std::unique_ptr<OptionForm> optionForm_;
};

/// The section of both private-profile files.
inline constexpr const char* kProfileSection = "EXEINI";

}  // namespace breezel
