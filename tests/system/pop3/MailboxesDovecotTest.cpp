// Several mailboxes against the private Dovecot, through the real engines (POP3 with STLS,
// imaps, IMAP with STARTTLS) and real push: one board with the total and each mailbox's count,
// a stopped server named in the one box while the others are still announced, and push on two
// mailboxes at once.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Dovecot.h"
#include "forms/MainForm.h"
#include "forms/MsgForm.h"
#include "forms/SetForm.h"
#include "mail/PushWatch.h"
#include "settings/AtomicFile.h"

namespace breezel {
namespace {

// Delivered the maildir way, as a mail server's delivery agent does.
void Deliver(const std::string& user) {
    static int sequence = 0;
    const auto maildir = std::filesystem::path(Env("DOVECOT_MAIL")) / user;
    const std::string name =
        std::to_string(::getpid()) + "." + std::to_string(++sequence) + ".breezel-mailboxes";
    const auto tmp = maildir / "tmp" / name;
    std::ofstream(tmp) << "From: a@example.org\nSubject: news " << sequence << "\n\nHello\n";
    ASSERT_EQ(::chown(tmp.c_str(), 65534, 65534), 0);
    std::filesystem::rename(tmp, maildir / "new" / name);
}

// A port where nobody listens, a server that stopped, and that no other test's server can take
// meanwhile: bound for as long as it lives, never listening, so every connection is refused.
class DeadPort {
public:
    DeadPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~DeadPort() {
        if (socket_ >= 0) {
            ::close(socket_);
        }
    }
    DeadPort(const DeadPort&) = delete;
    DeadPort& operator=(const DeadPort&) = delete;
    int port() const { return port_; }

private:
    int socket_;
    int port_ = 0;
};

class MailboxesDovecotTest : public DovecotProgramFixture {
protected:
    void writeMailboxes(const std::string& homePort) {
        ASSERT_TRUE(WriteFileAtomically(
            dataFolder() / "mailboxes.ini",
            "[work]\nname=仕事\nserver=imaps://127.0.0.1:" + Env("DOVECOT_IMAPS_PORT") +
                "\nid=work\nfolder=仕事\n[home]\nname=家\n" +
                "server=imap://127.0.0.1:" + homePort + "\nid=home\n"));
    }
    /// A check by hand, to its end.
    void check(Program& program) {
        program.mainForm().Command8.click();
        ASSERT_TRUE(RunUntil([&] { return !program.mailCheck().running(); }));
    }
    std::string board(Program& program) {
        return program.hasMsgForm() ? program.msgForm().Text2.text() : "";
    }
};

TEST_F(MailboxesDovecotTest, ThreeMailboxesOneBoardWithTheTotalAndEachCount) {
    Program& program = startFor("old", DovecotPlain(), messages_);
    writeMailboxes(Env("DOVECOT_IMAP_PORT"));
    program_->spawn(secrets_.save("work", Env("DOVECOT_PASSWORD")));
    program_->spawn(secrets_.save("home", Env("DOVECOT_PASSWORD")));
    program.mailboxChanged.notify();

    check(program);
    ASSERT_EQ(board(program), "4")
        << "old: 2 by POP3, work: 1 unseen and 1 in 仕事, home: none; work: "
        << program.mailboxResults()["work"].failure
        << "; home: " << program.mailboxResults()["home"].failure;
    Deliver("work");
    Deliver("work");
    Deliver("home");
    check(program);
    EXPECT_EQ(board(program), "7");
    EXPECT_EQ(program.msgForm().Text2.toolTip(), "old: 2 通\n仕事: 4 通\n家: 1 通");
    EXPECT_EQ(program.mailboxResults()["work"].count, 4);

    // Push on both IMAP mailboxes at once (automatic checks on, far away): news on either shows
    // the new total at once.
    program.setForm().Text2.setText("999");
    ASSERT_TRUE(RunUntil([&] {
        return program.pushes().find("work")->watching() &&
               program.pushes().find("home")->watching();
    }));
    Deliver("home");
    EXPECT_TRUE(RunUntil([&] { return board(program) == "8"; })) << board(program);
    Deliver("work");
    EXPECT_TRUE(RunUntil([&] { return board(program) == "9"; })) << board(program);

    // Home's server stops: the others are still announced, and one box names it.
    log_.clear();
    const DeadPort dead;
    ASSERT_NE(dead.port(), 0);
    writeMailboxes(std::to_string(dead.port()));
    program.mailboxChanged.notify();
    check(program);
    EXPECT_EQ(board(program), "7") << "old 2 and work 5";
    int boxes = 0;
    for (const std::string& line : log_) {
        if (line.starts_with("box エラー: 家: ")) {
            ++boxes;
        }
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(program.mailboxResults()["home"].failure.empty());
}

}  // namespace
}  // namespace breezel
