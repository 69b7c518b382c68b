#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Task.h"
#include "platform/DesignPictures.h"
#include "platform/Desktop.h"
#include "platform/DesktopAccounts.h"
#include "platform/DialUpConnections.h"
#include "platform/MailLibrary.h"
#include "platform/MailPush.h"
#include "platform/MessageBox.h"
#include "platform/ProcessControl.h"
#include "platform/ProgramLauncher.h"
#include "platform/RandomSource.h"
#include "platform/SecretStore.h"
#include "platform/SignIn.h"
#include "platform/SoundDevice.h"
#include "platform/SystemEvents.h"
#include "platform/TrayIcon.h"
#include "platform/Wait.h"

namespace breezel {

/// Records every call as one line of text, in order, for all fakes that share it.
using CallLog = std::vector<std::string>;

class TimerDriver;

/// Base of the fakes that record their calls in a shared log.
class LogsCalls {
public:
    explicit LogsCalls(CallLog& log) : log_(log) {}

protected:
    CallLog& log_;
};

/// Mail library that records its calls and answers as its fields say. With a latency, every
/// call that talks to the server waits that long on the program's timers first, as a server
/// across a slow link would.
class FakeMailLibrary : public MailLibrary, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    int NMailInitializeWinSock() override;
    int NMailSetOption(int option, int value) override;
    int NMailEndWinSock() override;
    Task<int> NMailPop3Connect(net::Mailbox mailbox) override;
    Task<int> NMailPop3Authenticate(int handle, std::string id, net::Credential credential,
                                    int apop) override;
    Task<int> NMailPop3GetMailStatus(int handle, int number, MailTexts& texts, int flag) override;
    Task<int> NMailPop3GetMailSize(int handle, int number) override;
    Task<int> NMailPop3GetMail(int handle, int number, MailTexts& texts, int flag1,
                               int flag2) override;
    Task<int> NMailPop3Close(int handle) override;
    bool NMailPop3Connected(int handle) override;
    bool countsOnly(int) override { return countsOnlyResult; }
    bool loginRefused(int) override { return loginResult < 0 && refusesLogin; }
    std::string NMailGetMessage(int code) override;

    int connectResult = 7;
    /// The results of the next logins, the first first; then loginResult (the last taken).
    std::deque<int> loginResults;
    /// An IMAP-like library: the login's count is all there is, no message is walked.
    bool countsOnlyResult = false;
    /// A failed login is the server's refusal of the credentials, not a broken link.
    bool refusesLogin = true;
    int loginResult = 0;
    std::string errorText;
    /// Runs inside the login, while it waits for the server.
    std::function<void()> duringLogin;
    /// The link breaks at the first message call: from then on the session is gone.
    bool hangsUpAfterLogin = false;
    /// How long each server call waits, on timers (which the fixture sets).
    std::int64_t latencyMs = 0;
    TimerDriver* timers = nullptr;
    /// A server that takes slowMs to answer its connection.
    std::string slowServer;
    std::int64_t slowMs = 0;
    /// An account whose server answers at once but takes slowMs over its login.
    std::string slowLoginId;
    /// How many server calls have ended.
    int answered = 0;

private:
    Task<> serverDelay();
    bool connected_ = false;
};

/// Push connections that record their calls in calls ("open SERVER ID PASSWORD", "wait",
/// "count", "close") and answer as the fields say. A wait lasts until the test tells news.
class FakeMailPush : public MailPush {
public:
    std::unique_ptr<PushSession> create() override;
    /// Ends the wait in progress with news; false when no connection waits.
    bool tell(PushNews news);

    CallLog calls;
    /// How the next openings answer, the first first; when none is left, Unsupported.
    std::deque<PushOpened> openings;
    int unseen = 0;
    std::uint32_t expectedUidNext = 0;

private:
    class Session;
    std::function<void(PushNews)> waiting_;
};

/// Sign-in that records its calls in calls ("token SERVER ACCOUNT ask" or "... quiet", "refused
/// TOKEN") and answers with the tokens queued, the first first; when none is left, "token-N" for
/// the N-th call.
class FakeSignIn : public SignIn {
public:
    Task<AccessToken> accessToken(net::Mailbox mailbox, bool mayAsk) override {
        calls.push_back("token " + mailbox.server + " " + mailbox.id +
                        (mayAsk ? " ask" : " quiet"));
        AccessToken token{Secret("token-" + std::to_string(calls.size())), {}, false};
        if (!tokens.empty()) {
            token = tokens.front();
            tokens.pop_front();
        }
        co_return token;
    }
    void refused(const net::Mailbox&, const Secret& token) override {
        calls.push_back("refused " + token.reveal());
    }

    CallLog calls;
    std::deque<AccessToken> tokens;
};

/// A keyring in memory that records what it is asked ("load KEY", "save KEY SECRET", "forget KEY").
class FakeSecretStore : public SecretStore {
public:
    Task<Secret> load(std::string key) override {
        calls.push_back("load " + key);
        const auto kept = kept_.find(key);
        co_return kept == kept_.end() ? Secret() : kept->second;
    }
    Task<> save(std::string key, Secret password) override {
        calls.push_back("save " + key + " " + password.reveal());
        if (timers != nullptr) {
            co_await After(*timers, saveMs);
        }
        kept_[key] = std::move(password);
    }
    Task<> forget(std::string key) override {
        calls.push_back("forget " + key);
        kept_.erase(key);
        co_return;
    }
    bool holds(const std::string& key) const { return kept_.count(key) != 0; }

    CallLog calls;
    /// A slow keyring: each save waits saveMs on timers.
    TimerDriver* timers = nullptr;
    std::int64_t saveMs = 0;

private:
    std::map<std::string, Secret> kept_;
};

/// The desktop's mail accounts as the test sets them. Records its calls in calls ("accounts",
/// "credential ID", "renew ID"); hands out the credentials queued, the first first, and when none
/// is left "desktop-N" for the N-th call.
class FakeDesktopAccounts : public DesktopAccounts {
public:
    Task<std::vector<DesktopAccount>> mailAccounts() override {
        calls.push_back("accounts");
        co_return accounts;
    }
    Task<Secret> credential(DesktopAccount account) override {
        calls.push_back("credential " + account.id);
        Secret secret("desktop-" + std::to_string(calls.size()));
        if (!credentials.empty()) {
            secret = std::move(credentials.front());
            credentials.pop_front();
        }
        co_return secret;
    }
    Task<bool> renew(DesktopAccount account) override {
        calls.push_back("renew " + account.id);
        co_return renews;
    }

    CallLog calls;
    std::vector<DesktopAccount> accounts;
    std::deque<Secret> credentials;
    bool renews = true;
};

/// Sound device that records the media commands it is sent, written as command strings
/// ("open \"PATH\" alias bgm", "play bgm", "play bgm from 0", "status bgm mode", "stop bgm",
/// "close bgm"), and plays like a media control device: an open alias cannot be opened again,
/// and a sound that reached its end stays there until played from the start.
class FakeSoundDevice : public SoundDevice, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    bool open(const std::string& path, const std::string& alias) override;
    void play(const std::string& alias) override;
    void playFromStart(const std::string& alias) override;
    std::string mode(const std::string& alias) override;
    void stop(const std::string& alias) override;
    void close(const std::string& alias) override;

    /// The sound under alias plays to its end.
    void finish(const std::string& alias);
    bool playing(const std::string& alias) const;

private:
    struct Device {
        std::string alias;
        bool playing = false;
        bool atEnd = false;
    };
    Device* find(const std::string& alias);
    std::vector<Device> devices_;
};

/// Records that the process was ended instead of ending it.
class FakeProcessControl : public ProcessControl, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    void endProcess() override { log_.push_back("end process"); }
};

/// Records boxes; the user answers at once, unless the test keeps them open and answers later.
class FakeMessageBox : public MessageBox, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    void showOk(const std::string& text, const std::string& title, Icon icon,
                std::function<void()> dismissed) override;
    void askYesNo(const std::string& text, const std::string& title,
                  std::function<void(bool)> answered) override;
    /// The user answers every box still open, the oldest first; how many there were.
    int answerOpen();
    int open() const { return static_cast<int>(open_.size()); }

    bool yes = false;
    /// Boxes stay open until answerOpen().
    bool keepOpen = false;

private:
    void hold(std::function<void()> answer);
    std::vector<std::function<void()>> open_;
};

class FakeLauncher : public ProgramLauncher, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    bool start(const std::string& path) override {
        log_.push_back("start " + path);
        return true;
    }
};

class FakeDialUp : public DialUpConnections, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    void enumerate(std::function<void(List)> listed) override {
        log_.push_back("list dial-up");
        listed(listable ? List(active) : std::nullopt);
    }
    void hangUp(const std::string& connection) override { log_.push_back("hang up " + connection); }

    std::vector<std::string> active;
    bool listable = true;
};

/// A 1280 x 1024 pixel screen unless a test narrows it; records menus, file dialogs and
/// opened addresses, and answers them as its fields say.
class FakeDesktop : public Desktop, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    Twips screenWidth() override { return width; }
    Twips screenHeight() override { return 1024 * kTwipsPerPixel; }
    std::string localDateTimeText() override { return now; }
    void popUpMenu(const std::vector<std::string>& captions,
                   std::function<void(int)> chosen) override;
    void chooseFile(const std::string& fileName,
                    std::function<void(std::optional<std::string>)> chosen) override;
    void openUrl(const std::string& url) override { log_.push_back("open url " + url); }

    Twips width = 1280 * kTwipsPerPixel;
    std::string now = "2026/12/07 21:00:00";
    /// The item the user picks in the next pop-up menu; -1 picks nothing.
    int menuChoice = -1;
    /// The file the user picks in the next file dialog; empty cancels it.
    std::string fileChoice;
};

class FakeTray : public TrayIcon, LogsCalls {
public:
    using LogsCalls::LogsCalls;
    bool available() override { return hasArea; }
    void setWindowIcon() override { log_.push_back("tray icon"); }
    void setTip(const std::string& tip) override { log_.push_back("tray tip " + tip); }
    void add() override { log_.push_back("tray add"); }
    void setEventHandler(std::function<void(int)> handler) override {
        handler_ = std::move(handler);
    }
    void setMenu(const std::vector<std::string>&, std::function<void(int)>) override {}
    /// The user acts on the icon.
    void event(int code) { handler_(code); }
    bool hasArea = true;

private:
    std::function<void(int)> handler_;
};

/// Gives the queued values in order, then 0.
class FakeRandom : public RandomSource {
public:
    void seedFromTime() override { ++seeds; }
    float next() override;
    std::deque<float> values;
    int seeds = 0;
};

/// Chime frames: by default picture A is a 30 x 99 bar and B a 21 x 99 bar, on silver.
class FakePictures : public DesignPictures {
public:
    FakePictures();
    RgbImage chimeFrame(int k) override { return k % 2 == 0 ? frameA : frameB; }
    RgbImage frameA;
    RgbImage frameB;
};

/// A 100 x 100 silver picture with the given rectangles filled in another colour.
RgbImage SilverPicture(const std::vector<std::array<int, 4>>& filled);

/// Sleep, wake and the network as the test makes them.
class FakeSystemEvents : public SystemEvents {
public:
    NetworkState network() const override { return state; }
    /// Tells of sleep; afterwards held() says whether a listener still holds it back.
    void sleep() {
        auto delay = std::make_shared<int>();
        delay_ = delay;
        sleeping.notify(delay);
    }
    bool held() const { return !delay_.expired(); }
    void wake() { woke.notify(); }
    void setNetwork(NetworkState::Reach reach, std::string link = {}) {
        state = {reach, std::move(link)};
        networkChanged.notify();
    }

    NetworkState state;

private:
    std::weak_ptr<int> delay_;
};

}  // namespace breezel
