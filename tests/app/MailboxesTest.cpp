#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "forms/IdPassForm.h"
#include "forms/MailboxForm.h"
#include "forms/MailboxListForm.h"
#include "forms/OptionForm.h"
#include "support/ProgramFixture.h"

namespace breezel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class MailboxesTest : public ProgramFixture {
protected:
    MailboxesTest() {
        writeServerFile("POP3=pop.example.jp\r\n");
        writeAccount("NAME=me\nNAME2=pw\n");
    }

    /// Starts, opens the list from the menu and counts the changes of the mailboxes.
    MailboxListForm& openList() {
        started().mmailbox.click();
        log_.clear();
        changed_ = 0;
        changes_ = program_->mailboxChanged.connectScoped([this] { ++changed_; });
        return program_->mailboxListForm();
    }
    void writeMailboxes(const std::string& sections) {
        TempDir::Write(dataFolder() / "mailboxes.ini", sections);
    }
    std::string mailboxesText() const { return TempDir::Read(dataFolder() / "mailboxes.ini"); }

    int changed_ = 0;
    ScopedConnection changes_;
};

const char* const kWork =
    "[mailbox-2]\nname=仕事\nserver=imaps://imap.example.jp\nid=taro\non=1\nfolder=仕事\n";

TEST_F(MailboxesTest, AnAddedMailboxKeepsItsPasswordInTheStoreOnly) {
    MailboxListForm& list = openList();
    EXPECT_TRUE(list.window.visible());
    list.AddCommand.click();
    MailboxForm& dialog = program_->mailboxForm();
    EXPECT_TRUE(dialog.window.visible());
    dialog.NameText.setText("仕事");
    dialog.ServerText.setText(" imaps://imap.example.jp ");
    dialog.IdText.setText("taro");
    dialog.PassText.setText("s3cret");
    dialog.FolderText.setText("仕事\nINBOX\n Archive \n\n仕事\n");
    dialog.OKCommand.click();

    EXPECT_FALSE(program_->hasMailboxForm());
    EXPECT_THAT(secrets_.calls, ElementsAre("save mailbox-2 s3cret"));
    EXPECT_THAT(mailboxesText(), HasSubstr("\n[mailbox-2]\nname=仕事\nserver=imaps://"
                                           "imap.example.jp\nid=taro\non=1\nfolder=仕事\n"
                                           "folder=Archive\n"));
    EXPECT_THAT(mailboxesText(), Not(HasSubstr("s3cret")));
    EXPECT_EQ(changed_, 1);
    ASSERT_EQ(list.List1.rows().size(), 2u) << "the list follows";
    EXPECT_THAT(list.List1.rows()[1],
                ElementsAre("仕事", "imaps://imap.example.jp", "有効", "未確認"));

    // A token sign-in needs no password; a POP3 mailbox has no folders.
    list.AddCommand.click();
    program_->mailboxForm().ServerText.setText("pop3s://;AUTH=*@pop.example.jp");
    program_->mailboxForm().IdText.setText("hanako");
    program_->mailboxForm().FolderText.setText("仕事");
    EXPECT_FALSE(program_->mailboxForm().passwordWanted());
    program_->mailboxForm().OKCommand.click();
    EXPECT_THAT(mailboxesText(), HasSubstr("[mailbox-3]\nname=pop.example.jp\nserver=pop3s://;"
                                           "AUTH=*@pop.example.jp\nid=hanako\non=1\n"));
    EXPECT_EQ(mailboxesText().find("folder", mailboxesText().find("[mailbox-3]")),
              std::string::npos);
    EXPECT_EQ(secrets_.calls.size(), 1u) << "nothing kept for the token";
}

// What the user types or adds is not lost to a second click or a slow keyring.
TEST_F(MailboxesTest, ASecondClickKeepsWhatWasTypedAndAddsDuringASlowKeyringGetKeysOfTheirOwn) {
    MailboxListForm& list = openList();
    list.AddCommand.click();
    program_->mailboxForm().NameText.setText("仕事");
    list.AddCommand.click();
    EXPECT_EQ(program_->mailboxForm().NameText.text(), "仕事");

    secrets_.timers = &timers_;
    secrets_.saveMs = 5000;
    const auto add = [&](const std::string& id) {
        program_->mailboxForm().ServerText.setText("pop.example.com");
        program_->mailboxForm().IdText.setText(id);
        program_->mailboxForm().PassText.setText(id + "-pw");
        program_->mailboxForm().OKCommand.click();
    };
    add("taro");
    list.AddCommand.click();
    add("hanako");
    timers_.advance(5000);
    EXPECT_THAT(secrets_.calls, ElementsAre("save mailbox-2 taro-pw", "save mailbox-3 hanako-pw"));
    EXPECT_THAT(mailboxesText(),
                HasSubstr("[mailbox-2]\nname=仕事\nserver=pop.example.com\nid=taro"));
    EXPECT_THAT(mailboxesText(), HasSubstr("[mailbox-3]\nname=pop.example.com\n"
                                           "server=pop.example.com\nid=hanako"));
}

TEST_F(MailboxesTest, AnEditKeepsTheStoredPasswordUnlessRetypedAndForgetsItForATokenSignIn) {
    struct Row {
        const char* server;
        const char* password;
        std::vector<std::string> stored;
    };
    const Row rows[] = {
        {"imaps://imap.example.jp", "", {}},
        {"imaps://imap.example.jp", "new", {"save mailbox-2 new"}},
        {"imaps://;AUTH=XOAUTH2@imap.example.jp", "typed", {"forget mailbox-2"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.server + std::string(" ") + row.password);
        writeMailboxes(kWork);
        secrets_.calls.clear();
        MailboxListForm& list = openList();
        list.List1.select(1);
        list.EditCommand.click();
        MailboxForm& dialog = program_->mailboxForm();
        EXPECT_EQ(dialog.window.caption(), "メールボックスの編集");
        EXPECT_EQ(dialog.IdText.text(), "taro");
        EXPECT_EQ(dialog.PassText.text(), "") << "never shown back";
        EXPECT_EQ(dialog.FolderText.text(), "仕事\n");
        dialog.ServerText.setText(row.server);
        dialog.PassText.setText(row.password);
        dialog.EnabledCheck.setValue(0);
        dialog.OKCommand.click();

        EXPECT_EQ(secrets_.calls, row.stored);
        EXPECT_THAT(mailboxesText(), HasSubstr(std::string("[mailbox-2]\nname=仕事\nserver=") +
                                               row.server + "\nid=taro\non=0\n"));
        EXPECT_THAT(mailboxesText(), Not(HasSubstr("mailbox-3")));
        EXPECT_EQ(changed_, 1);
        EXPECT_EQ(list.List1.selected(), 1) << "the edited mailbox stays chosen";
        EXPECT_EQ(list.List1.rows()[1][2], "無効");
    }
}

TEST_F(MailboxesTest, RemovingAsksFirstThenForgetsThePasswordTheSectionAndTheResult) {
    writeMailboxes(std::string(kWork) + "[mailbox-3]\nname=家\nserver=pop.example.jp\nid=h\n");
    MailboxListForm& list = openList();
    program_->mailboxResults()["mailbox-2"] = {4, "", "2026/12/08 21:00:00"};
    list.List1.select(0);
    list.RemoveCommand.click();
    EXPECT_THAT(log_, IsEmpty()) << "the first mailbox cannot be removed";

    list.List1.select(1);
    list.RemoveCommand.click();  // answered No
    EXPECT_THAT(log_, ElementsAre("ask 確認: メールボックス「仕事」を一覧から削除しますか？"));
    EXPECT_THAT(mailboxesText(), HasSubstr("[mailbox-2]"));

    messages_.yes = true;
    list.RemoveCommand.click();
    EXPECT_THAT(secrets_.calls, ElementsAre("forget mailbox-2"));
    EXPECT_THAT(mailboxesText(), Not(HasSubstr("mailbox-2")));
    EXPECT_THAT(mailboxesText(), HasSubstr("[mailbox-3]\nname=家"));
    EXPECT_EQ(program_->mailboxResults().count("mailbox-2"), 0u);
    EXPECT_EQ(changed_, 1);
    ASSERT_EQ(list.List1.rows().size(), 2u);
    EXPECT_EQ(list.List1.rows()[1][0], "家");
    EXPECT_EQ(list.List1.selected(), 1) << "the line that took its place";
}

// The desktop's mail accounts that no mailbox names yet are offered and added in one step, with
// no password of their own; one the list names already is left out.
TEST_F(MailboxesTest, TheDesktopsAccountsAreAddedInOneStep) {
    writeMailboxes(kWork);
    DesktopAccount google;
    google.name = "Taro";
    google.email = "taro@gmail.example";
    google.imapHost = "imap.gmail.example:993";
    google.imapTls = true;
    google.oauth2 = true;
    DesktopAccount work = google;
    work.imapHost = "imap.example.jp";
    work.imapUser = "taro";
    work.oauth2 = false;
    desktopAccounts_.accounts = {google, work};
    MailboxListForm& list = openList();
    messages_.yes = true;
    list.DesktopCommand.click();
    EXPECT_THAT(log_,
                ElementsAre("ask 確認: デスクトップのアカウントを一覧に加えますか？\n"
                            "taro@gmail.example (imaps://;AUTH=XOAUTH2@imap.gmail.example:993)"));
    EXPECT_THAT(
        mailboxesText(),
        HasSubstr("[mailbox-3]\nname=taro@gmail.example\n"
                  "server=imaps://;AUTH=XOAUTH2@imap.gmail.example:993\nid=taro@gmail.example\n"));
    EXPECT_THAT(secrets_.calls, IsEmpty());
    EXPECT_EQ(changed_, 1);

    log_.clear();
    list.DesktopCommand.click();
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_THAT(log_[0], HasSubstr("まだ一覧にないメールのアカウントはありません"))
        << "nothing twice";
}

TEST_F(MailboxesTest, AFieldThatCannotBeUsedIsNamedAndNothingIsSaved) {
    struct Row {
        const char* server;
        const char* id;
        const char* password;
        const char* message;
    };
    const Row rows[] = {
        {"imaps://", "taro", "pw", "サーバー名を正しく入力してください。"},
        {"pop.example.jp:99999", "taro", "pw", "サーバー名を正しく入力してください。"},
        {"imaps://imap.example.jp", " ", "pw", "IDを入力してください。"},
        {"imaps://imap.example.jp", "taro", "", "パスワードを入力してください。"},
    };
    MailboxListForm& list = openList();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.server);
        list.AddCommand.click();
        log_.clear();
        MailboxForm& dialog = program_->mailboxForm();
        dialog.ServerText.setText(row.server);
        dialog.IdText.setText(row.id);
        dialog.PassText.setText(row.password);
        dialog.OKCommand.click();
        ASSERT_EQ(log_.size(), 1u);
        EXPECT_THAT(log_[0], HasSubstr(std::string("box メールボックス (!): ") + row.message));
        EXPECT_TRUE(program_->hasMailboxForm()) << "left open to be put right";
    }
    EXPECT_FALSE(std::filesystem::exists(dataFolder() / "mailboxes.ini"));
    EXPECT_THAT(secrets_.calls, IsEmpty());
    EXPECT_EQ(changed_, 0);
}

TEST_F(MailboxesTest, TheFirstMailboxIsEditedInItsOwnTwoDialogsAndResultsShowAsTheyCome) {
    writeMailboxes(kWork);
    MailboxListForm& list = openList();
    ASSERT_EQ(list.List1.rows().size(), 2u);
    EXPECT_THAT(list.List1.rows()[0], ElementsAre("me", "pop.example.jp", "有効", "未確認"));
    EXPECT_EQ(list.List1.selected(), 0);
    EXPECT_FALSE(list.removable());

    list.EditCommand.click();
    EXPECT_FALSE(program_->hasMailboxForm());
    ASSERT_TRUE(program_->hasOptionForm());
    EXPECT_TRUE(program_->optionForm().window.visible());
    EXPECT_TRUE(program_->idPassForm().window.visible());
    program_->optionForm().Pop3Text.setText("imaps://imap.example.com");
    program_->optionForm().OKCommand.click();
    EXPECT_EQ(list.List1.rows()[0][1], "imaps://imap.example.com");

    program_->mailboxResults()[""] = {3, "", "2026/12/08 21:00:00"};
    program_->mailboxResults()["mailbox-2"] = {0, "ログインできません\r\n<b>x</b>", "21:00"};
    program_->mailboxResultsChanged.notify();
    EXPECT_EQ(list.List1.rows()[0][3], "3 通 (2026/12/08 21:00:00)");
    EXPECT_EQ(list.List1.rows()[1][3], "ログインできません  <b>x</b>");
}

}  // namespace
}  // namespace breezel
