#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/Task.h"
#include "controls/Signal.h"
#include "net/Mailbox.h"
#include "platform/Services.h"
#include "settings/IniFile.h"
#include "settings/ServerSettings.h"

namespace breezel {

class Form;
class Form1;
class IdPassForm;
class MailboxForm;
class MailboxListForm;
class MainForm;
class MsgForm;
class OptionForm;
class SetForm;

/// What the last look at a mailbox came to: for the mailbox window and the board's tip.
struct MailboxResult {
    /// What it held (IMAP: its unseen messages); meaningful while failure is empty.
    int count = 0;
    /// Why the look failed, as the user's text; empty when it did not.
    std::string failure;
    /// The desktop's date and time of the look.
    std::string when;
};

/// What the forms and the controllers share: the platform services, the shared settings
/// variables, the files of the program folder and the forms themselves. Dialogs come into being
/// on first use of any of their controls, as the forms expect: touching setForm() creates the
/// preferences dialog hidden and runs its load step.
class FormContext {
public:
    /// programFolder: the folder of the executable, without a trailing separator.
    FormContext(Services services, std::string programFolder);
    ~FormContext();
    FormContext(const FormContext&) = delete;
    FormContext& operator=(const FormContext&) = delete;

    /// The main window; it exists from createMainForm() to the end of the run.
    MainForm& mainForm();
    /// The preferences dialog, created hidden (with its load step) when it does not exist.
    SetForm& setForm();
    /// The account dialog, created hidden (with its load step) when it does not exist.
    IdPassForm& idPassForm();
    /// The server settings dialog, created (its load step shows it) when it does not exist.
    OptionForm& optionForm();
    /// The notice board, created (its load step shows it) when it does not exist.
    MsgForm& msgForm();
    /// The wind-chime window, created with its load step (hidden) when it does not exist.
    Form1& form1();
    /// The list of mailboxes, created (its load step shows it) when it does not exist.
    MailboxListForm& mailboxListForm();
    /// The dialog of one further mailbox, created hidden when it does not exist.
    MailboxForm& mailboxForm();
    bool hasMainForm() const { return mainForm_ != nullptr; }
    bool hasSetForm() const { return setForm_ != nullptr; }
    bool hasIdPassForm() const { return idPassForm_ != nullptr; }
    bool hasOptionForm() const { return optionForm_ != nullptr; }
    bool hasMsgForm() const { return msgForm_ != nullptr; }
    bool hasForm1() const { return form1_ != nullptr; }
    bool hasMailboxListForm() const { return mailboxListForm_ != nullptr; }
    bool hasMailboxForm() const { return mailboxForm_ != nullptr; }
    /// A key for a new further mailbox, taken by no mailbox in the file and given out by no
    /// earlier call in this run: two mailboxes added while a slow keyring keeps the first
    /// cannot share one.
    std::string newMailboxKey();

    /// Closes a window as the user does: its closing step, then it is destroyed.
    void closeSetForm();
    void closeIdPassForm();
    void closeOptionForm();
    void closeMsgForm();
    void closeForm1();
    void closeMailboxListForm();
    void closeMailboxForm();

    /// Ticks left until the chime's swing is renewed; kept for the whole run, also while the
    /// chime window is closed.
    std::int16_t& chimeSwingTicks() { return chimeSwingTicks_; }

    SharedSettings& settings() { return settings_; }
    /// The last result of each mailbox this run, by its key ("" for the first).
    std::map<std::string, MailboxResult>& mailboxResults() { return mailboxResults_; }
    const Services& services() const { return services_; }
    const std::string& programFolder() const { return programFolder_; }

    /// The preferences file: program folder + "/★MailData/ini.ini".
    IniFile preferences() const;
    /// The account file: program folder + "/★MailData/iniIdPass.ini", readable by its owner only.
    IniFile accountFile() const;
    /// The further mailboxes' file: program folder + "/★MailData/mailboxes.ini".
    std::filesystem::path mailboxesFile() const;
    /// The first mailbox with the account as saved now (the account file read afresh).
    net::Mailbox savedFirstMailbox() const;
    /// The further mailboxes as their file holds them now.
    std::vector<net::Mailbox> furtherMailboxes() const;
    /// The server settings file, addressed by its bare name: it is in the current directory.
    std::filesystem::path serverSettingsFile() const { return "vbmail.ini"; }
    /// A file of the program folder, from a relative path such as "/Sound/Kouka.wav".
    std::string programFile(const std::string& relative) const { return programFolder_ + relative; }
    /// The address of the fan picture, which the main window's browser shows.
    std::string fanPictureUrl() const;

    /// Starts a reaction that may wait (a check from a click, a box's question): it runs until
    /// its first wait and resumes from the event loop; the context owns it until it ends.
    void spawn(Task<> reaction) { reactions_.spawn(std::move(reaction)); }

    /// A form came into being; views create their widget for it.
    Signal<Form&> formCreated;
    /// The server settings, the saved account or the further mailboxes were set anew.
    Signal<> mailboxChanged;
    /// A mailbox's last result in mailboxResults() changed.
    Signal<> mailboxResultsChanged;

protected:
    /// Creates the main window (its timers attached, its view made) without its load step.
    MainForm& createMainForm();
    /// Ends the run's objects in an order that leaves nothing dangling: the reactions still
    /// waiting, then the windows (their timers' reactions with them), the main window last.
    /// Called by the owner of the controllers before they go, since both refer to them.
    void destroyForms();

private:
    // A new form's timers go to the driver, and its views are made.
    void adopt(Form& form);
    template <typename F>
    F& create(std::unique_ptr<F>& slot);
    template <typename F>
    void destroy(std::unique_ptr<F>& slot);

    Services services_;
    std::string programFolder_;
    SharedSettings settings_;
    std::map<std::string, MailboxResult> mailboxResults_;
    std::unique_ptr<MainForm> mainForm_;
    std::unique_ptr<SetForm> setForm_;
    std::unique_ptr<IdPassForm> idPassForm_;
    std::unique_ptr<OptionForm> optionForm_;
    std::unique_ptr<MsgForm> msgForm_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<MailboxListForm> mailboxListForm_;
    std::unique_ptr<MailboxForm> mailboxForm_;
    std::set<std::string> givenMailboxKeys_;
    std::int16_t chimeSwingTicks_ = 0;
    // Reactions still waiting when the program goes are destroyed before anything they use.
    TaskScope reactions_;
};

}  // namespace breezel
