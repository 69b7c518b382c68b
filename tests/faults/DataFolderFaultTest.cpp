// An unusable data folder (missing, a file in its place, read-only): start-up, closing the
// preferences, the account dialog's OK and the shutdown writes fail silently. Nothing crashes,
// no message box appears, the settings in memory still work, and no other file changes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "forms/IdPassForm.h"
#include "forms/MainForm.h"
#include "forms/OptionForm.h"
#include "forms/SetForm.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kServerFile =
    "SMTP=smtp.example.org\r\nPOP3=pop.example.org\r\n"
    "MAIL=user@example.org\r\nAPOP=0\r\n";

class DataFolderFaultTest : public ProgramFixture {
protected:
    /// Every writing step of the program once; true when it all went without a message box.
    bool runWritingSteps() {
        log_.clear();
        Program& program = start();
        program.setForm().Text2.setText("0");  // writes NUMBER2 at once
        program.setForm().Check1.setValue(1);
        program.closeSetForm();
        IdPassForm& account = program.idPassForm();
        account.IdText.setText("someone");
        account.PassText.setText("secret");
        account.Check1.setValue(1);
        account.OKCommand.click();
        program.mainForm().Form_Unload();
        bool ok = program.settings().AccountId == "someone" &&
                  program.settings().AccountPassword == "secret" &&
                  program.settings().Pop3Server == "pop.example.org";
        for (const std::string& line : log_) {
            ok = ok && line.rfind("box ", 0) != 0;
        }
        return ok && std::find(log_.begin(), log_.end(), "end process") != log_.end();
    }

    /// Every file under the program and current folders with its bytes.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const fs::path& root : {programDir_.path(), currentDir_.path()}) {
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                files[entry.path().string()] =
                    entry.is_regular_file() ? TempDir::Read(entry.path()) : "<folder>";
            }
        }
        return files;
    }
};

// The snapshot holds the file's bytes, or no entry at all when the folder is missing.
TEST_F(DataFolderFaultTest, MissingFolderOrAFileInItsPlaceIsLeftAsItWas) {
    writeServerFile(kServerFile);
    for (const bool fileInPlace : {false, true}) {
        SCOPED_TRACE(fileInPlace ? "a file in place of the folder" : "no folder");
        fs::remove_all(dataFolder());
        if (fileInPlace) {
            TempDir::Write(dataFolder(), "not a folder\n");
        }
        const auto before = snapshot();
        EXPECT_TRUE(runWritingSteps()) << ::testing::PrintToString(log_);
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(DataFolderFaultTest, FolderInPlaceOfTheServerFileStaysAndTheDialogCloses) {
    fs::create_directory(currentDir_ / "vbmail.ini");
    Program& program = start();
    ASSERT_TRUE(program.hasOptionForm());
    program.optionForm().Pop3Text.setText("pop.example.org");
    program.optionForm().OKCommand.click();

    EXPECT_FALSE(program.hasOptionForm());
    EXPECT_EQ(program.settings().Pop3Server, "pop.example.org");
    EXPECT_TRUE(fs::is_directory(currentDir_ / "vbmail.ini"));
    EXPECT_TRUE(fs::is_empty(currentDir_ / "vbmail.ini"));
}

// Root ignores permissions: as root the steps run in a child that has become "nobody".
TEST_F(DataFolderFaultTest, ReadOnlyFolderKeepsItsFilesAsTheyWere) {
    writeServerFile(kServerFile);
    writePreferences("NUMBER=0\nNUMBER2=7\nNAME=/usr/bin/mailer\n");
    writeAccount("NAME=old\nNAME2=oldpass\nNAME3=1\n");
    const bool root = ::geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    if (root) {
        for (const fs::path& root : {programDir_.path(), currentDir_.path()}) {
            ASSERT_EQ(::chown(root.c_str(), kNobody, kNobody), 0);
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                ASSERT_EQ(::chown(entry.path().c_str(), kNobody, kNobody), 0);
            }
        }
    }
    ::chmod(dataFolder().c_str(), 0555);
    const auto before = snapshot();

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(3);
        }
        // The folder must really refuse new files for this user, or the test proves nothing.
        if (WriteFileAtomically(dataFolder() / "probe", "x")) {
            ::_exit(4);
        }
        ::_exit(runWritingSteps() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the program's steps crashed: status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a message box or lost setting; 3: no setuid; "
                                         "4: the folder was writable";
    EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace breezel
