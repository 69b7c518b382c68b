// The OAuth2 sign-in on real loopback sockets: the listener that hears the browser, PKCE, the
// bounds, the sign-in window, where refresh tokens are kept, the providers, and whole sign-ins
// against a stand-in provider. Every message written meanwhile (debug included) is checked for
// secrets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrlQuery>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/TinyHttpServer.h"
#include "qt/BrowserSignIn.h"
#include "qt/OAuthRequests.h"
#include "qt/OAuthSignIn.h"
#include "qt/QtKeyring.h"
#include "qt/SignInTexts.h"
#include "qt/SignInWindow.h"
#include "qt/TokenStore.h"
#include "support/TempDir.h"
#include "system/pop3/RunTask.h"

namespace breezel {
namespace {

using namespace std::chrono_literals;

QStringList& Log() {
    static QStringList log;
    return log;
}

class SignInTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& message) {
                Log() << QString::fromLatin1(context.category) + QStringLiteral(": ") + message;
            });
    }
    void TearDown() override {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
        for (const QString& line : std::as_const(Log())) {
            for (const QString& secret : std::as_const(secrets)) {
                EXPECT_FALSE(line.contains(secret)) << line.toStdString();
            }
        }
        Log().clear();
    }

    /// What must never be in a message.
    QStringList secrets{QStringLiteral("good-code"), QStringLiteral("stolen-code"),
                        QStringLiteral("at-secret-"), QStringLiteral("rt-secret-")};

private:
    QtMessageHandler previous_ = nullptr;
};

// An OpenID provider on 127.0.0.1: its discovery document, and a token endpoint that takes the
// code "good-code" or the refresh token it gave last, and gives a new refresh token each time.
struct StandInProvider {
    StandInProvider() : http([this](const HttpRequest& request) { return answer(request); }) {}

    HttpResponse answer(const HttpRequest& request) {
        const QString url = http.url();
        if (request.target == "/.well-known/openid-configuration") {
            return {200, QStringLiteral(R"({"issuer":"%1","authorization_endpoint":"%1/auth",)"
                                        R"("token_endpoint":"%1/token"})")
                             .arg(url)
                             .toUtf8()};
        }
        const QUrlQuery form(QString::fromUtf8(request.body));
        auto field = [&](const char* name) {
            return form.queryItemValue(QLatin1String(name), QUrl::FullyDecoded).toStdString();
        };
        const bool byCode = field("grant_type") == "authorization_code" &&
                            field("code") == "good-code" && field("client_id") == "breezel-test";
        const bool byRefresh = field("grant_type") == "refresh_token" && !refresh.empty() &&
                               field("refresh_token") == refresh;
        if (!byCode && !byRefresh) {
            return {400, R"({"error":"invalid_grant"})"};
        }
        ++issued;
        if (!rotates) {
            return {200, QStringLiteral(R"({"access_token":"at-secret-%1","expires_in":%2})")
                             .arg(issued)
                             .arg(lifetime)
                             .toUtf8()};
        }
        refresh = "rt-secret-" + std::to_string(issued);
        return {200, QStringLiteral(R"({"access_token":"at-secret-%1","token_type":"Bearer",)"
                                    R"("refresh_token":"%2","expires_in":%3})")
                         .arg(issued)
                         .arg(QString::fromStdString(refresh))
                         .arg(lifetime)
                         .toUtf8()};
    }

    /// The token requests, by their form fields.
    std::vector<QUrlQuery> tokenRequests() const {
        std::vector<QUrlQuery> forms;
        for (const HttpRequest& request : http.requests) {
            if (request.target == "/token") {
                forms.emplace_back(QString::fromUtf8(request.body));
            }
        }
        return forms;
    }

    OAuthProvider provider(bool localhost = false) const {
        const std::string url = http.url().toStdString();
        return {"127.0.0.1",
                "",
                url + "/auth",
                url + "/token",
                "openid email offline_access",
                "breezel-test",
                "",
                {{"prompt", "consent"}},
                localhost};
    }

    TinyHttpServer http;
    std::string refresh;
    int issued = 0;
    int lifetime = 3600;
    /// Each token request brings a new refresh token.
    bool rotates = true;
};

QString Param(const QUrl& url, const char* name) {
    return QUrlQuery(url).queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
}

quint16 RedirectPort(const QUrl& url) {
    return static_cast<quint16>(QUrl(Param(url, "redirect_uri")).port());
}

// What the browser sends back when the provider says yes.
QByteArray Answer(const QUrl& opened, const char* code = "good-code") {
    return "GET /?code=" + QByteArray(code) + "&state=" + Param(opened, "state").toUtf8() +
           "&iss=x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

// The desktop's browser: notes what it was asked to open.
struct Browser {
    UrlOpener opener() {
        return [this](const QUrl& url, const std::function<void()>& failed) {
            opened.push_back(url);
            if (!works) {
                failed();
            }
        };
    }
    std::vector<QUrl> opened;
    bool works = true;
};

template <typename T>
Task<> Keep(Task<T> task, std::optional<T>& result) {
    result.emplace(co_await std::move(task));
}

bool PortIsFree(quint16 port) {
    RawExchange probe(port, "GET / HTTP/1.1\r\n\r\n");
    return RunUntil([&] { return probe.over; }) && probe.refused;
}

/// Whether a process this one started still runs or waits to be reaped.
bool HasChildren() {
    const std::string parent = std::to_string(::getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // pid (name) state ppid ...
        std::istringstream fields(line.substr(line.rfind(')') + 1));
        std::string state;
        std::string ppid;
        if (fields >> state >> ppid && ppid == parent) {
            return true;
        }
    }
    return false;
}

/// The sign-in window on the screen, if any.
SignInWindow* ShownWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<SignInWindow*>(widget); window && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

TEST_F(SignInTest, TheListenerTakesOnlyThisSignInsAnswer) {
    struct Row {
        const char* name;
        QByteArray request;  // {S}: this sign-in's state
        QByteArray status;
        std::string ends;        // empty: the sign-in still waits
        bool localhost = false;  // redirected to localhost: the request goes to ::1
    };
    const Row rows[] = {
        {"wrong state", "GET /?code=stolen-code&state=WRONG HTTP/1.1\r\n\r\n", "400", ""},
        {"no state", "GET /?code=stolen-code HTTP/1.1\r\n\r\n", "400", ""},
        {"no code", "GET /?state={S} HTTP/1.1\r\n\r\n", "400", ""},
        {"another path", "GET /other?code=stolen-code&state={S} HTTP/1.1\r\n\r\n", "404", ""},
        {"not a GET", "POST /?code=stolen-code&state={S} HTTP/1.1\r\n\r\n", "405", ""},
        {"junk bytes", "\x16\x03\x01\x02\xFFjunk\r\n\r\n", "400", ""},
        {"an endless head", QByteArray(20000, 'x'), "400", ""},
        {"the provider's error for another state",
         "GET /?error=access_denied&state=WRONG HTTP/1.1\r\n\r\n", "400", ""},
        {"the provider's error",
         "GET /?error=access_denied&error_description=The%20user%20said%20no&state={S} "
         "HTTP/1.1\r\n\r\n",
         "200", SignInDeniedText("access_denied", "The user said no")},
        {"the provider's error, form-encoded",
         "GET /?error=access_denied&error_description=No+C%2B%2B+today&state={S} HTTP/1.1\r\n\r\n",
         "200", SignInDeniedText("access_denied", "No C++ today")},
        {"a wrong state on ::1, for a provider that takes only localhost",
         "GET /?code=stolen-code&state=WRONG HTTP/1.1\r\n\r\n", "400", "", true},
        {"the provider's error on ::1", "GET /?error=access_denied&state={S} HTTP/1.1\r\n\r\n",
         "200", SignInDeniedText("access_denied", ""), true},
        {"a code the token endpoint refuses", "GET /?code=stolen-code&state={S} HTTP/1.1\r\n\r\n",
         "200", TokenRequestFailedText("invalid_grant")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StandInProvider provider;
        Browser browser;
        BrowserSignIn signIn(browser.opener(), 10s, 5s);
        std::optional<SignInOutcome> outcome;
        TaskScope scope;
        scope.spawn(
            Keep(signIn.run(provider.provider(row.localhost), "alice@example.org", "h"), outcome));
        ASSERT_TRUE(RunUntil([&] { return !browser.opened.empty(); }));
        const QUrl opened = browser.opened.front();
        secrets << Param(opened, "state");
        EXPECT_EQ(QUrl(Param(opened, "redirect_uri")).host(),
                  row.localhost ? "localhost" : "127.0.0.1");
        QByteArray request = row.request;
        request.replace("{S}", Param(opened, "state").toUtf8());
        RawExchange bad(RedirectPort(opened), request,
                        row.localhost ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost);
        ASSERT_TRUE(RunUntil([&] { return bad.over; }));
        EXPECT_TRUE(bad.answer.startsWith("HTTP/1.1 " + row.status)) << bad.answer.left(60).data();

        if (row.ends.empty()) {
            // Still waiting: the true answer ends it, with the true code's token.
            RawExchange good(RedirectPort(opened), Answer(opened));
            ASSERT_TRUE(RunUntil([&] { return outcome.has_value(); }));
            EXPECT_EQ(outcome->accessToken.reveal(), "at-secret-1");
            ASSERT_EQ(provider.tokenRequests().size(), 1u);
            EXPECT_EQ(provider.tokenRequests()[0].queryItemValue(QStringLiteral("code")),
                      QStringLiteral("good-code"));
        } else {
            ASSERT_TRUE(RunUntil([&] { return outcome.has_value(); }));
            EXPECT_EQ(outcome->failure, row.ends);
            EXPECT_TRUE(outcome->accessToken.empty());
        }
        EXPECT_TRUE(PortIsFree(RedirectPort(opened)));
        EXPECT_EQ(ShownWindow(), nullptr) << "the window closes with the sign-in";
    }
}

TEST_F(SignInTest, EachSignInSendsAFreshS256ChallengeAndItsVerifier) {
    // RFC 7636, appendix B.
    EXPECT_EQ(CodeChallenge(Secret("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    StandInProvider provider;
    Browser browser;
    BrowserSignIn signIn(browser.opener(), 10s, 5s);
    std::set<QString> verifiers;
    std::set<QString> states;
    for (std::size_t i = 1; i <= 2; ++i) {
        std::optional<SignInOutcome> outcome;
        TaskScope scope;
        scope.spawn(Keep(signIn.run(provider.provider(), "alice@example.org", "h"), outcome));
        ASSERT_TRUE(RunUntil([&] { return browser.opened.size() == i; }));
        const QUrl asked = browser.opened.back();
        EXPECT_EQ(asked.toString(QUrl::RemoveQuery), provider.http.url() + "/auth");
        const std::pair<const char*, QString> expected[] = {
            {"response_type", "code"},
            {"client_id", "breezel-test"},
            {"code_challenge_method", "S256"},
            {"login_hint", "alice@example.org"},
            {"prompt", "consent"},
            {"scope", "openid email offline_access"},
            {"redirect_uri", QStringLiteral("http://127.0.0.1:%1/").arg(RedirectPort(asked))}};
        for (const auto& [name, value] : expected) {
            EXPECT_EQ(Param(asked, name), value) << name;
        }
        RawExchange answer(RedirectPort(asked), Answer(asked));
        ASSERT_TRUE(RunUntil([&] { return outcome.has_value(); }));
        EXPECT_TRUE(answer.answer.contains(SignInDonePageText().c_str()));
        EXPECT_EQ(outcome->refreshToken.reveal(), "rt-secret-" + std::to_string(i));
        EXPECT_NEAR(static_cast<double>(outcome->expiresIn), 3600, 2);

        const QUrlQuery sent = provider.tokenRequests().back();
        const QString verifier = sent.queryItemValue(QStringLiteral("code_verifier"));
        secrets << verifier << Param(asked, "state");
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9._~-]{43,128}$"))
                        .match(verifier)
                        .hasMatch())
            << verifier.toStdString();
        EXPECT_EQ(QString::fromStdString(CodeChallenge(Secret(verifier.toStdString()))),
                  Param(asked, "code_challenge"));
        EXPECT_EQ(sent.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
                  Param(asked, "redirect_uri"));
        verifiers.insert(verifier);
        states.insert(Param(asked, "state"));
    }
    EXPECT_EQ(verifiers.size(), 2u);
    EXPECT_EQ(states.size(), 2u);
}

TEST_F(SignInTest, AnAbandonedSignInEndsAndFreesThePort) {
    StandInProvider provider;
    Browser browser;
    BrowserSignIn signIn(browser.opener(), 50ms, 5s);
    const std::optional<SignInOutcome> outcome =
        RunTask(signIn.run(provider.provider(), "alice", "h"), 5s);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->failure, SignInTimedOutText());
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_TRUE(PortIsFree(RedirectPort(browser.opened[0])));
    EXPECT_EQ(ShownWindow(), nullptr);
}

TEST_F(SignInTest, TheWindowShowsTheAddressTellsAtOnceWhenNoBrowserOpensAndCancels) {
    // The desktop's programs: an xdg-open that notes its address and fails, a $BROWSER that
    // notes it and works.
    TempDir bin;
    const std::string noted = (bin / "noted").string();
    TempDir::Write(bin / "xdg-open", "#!/bin/sh\nprintf %s \"$1\" >" + noted + "\nexit 3\n");
    TempDir::Write(bin / "browser", "#!/bin/sh\nprintf %s \"$1\" >" + noted + ".browser\n");
    for (const char* program : {"xdg-open", "browser"}) {
        std::filesystem::permissions(bin / program, std::filesystem::perms::owner_all);
    }
    const QByteArray path = qgetenv("PATH");
    const QByteArray browserVariable = qgetenv("BROWSER");
    qputenv("PATH", QByteArray::fromStdString(bin.path().string()) + ':' + path);
    Browser failing;
    failing.works = false;
    struct Row {
        const char* name;
        UrlOpener opener;
        QByteArray browser;   // $BROWSER
        std::string notedBy;  // the file the address is found in; empty: the fake's
        bool fails;
    };
    const Row rows[] = {
        {"a browser that fails", failing.opener(), "", "", true},
        {"xdg-open fails, no $BROWSER", DesktopBrowser(), "", noted, true},
        {"xdg-open fails, $BROWSER opens it", DesktopBrowser(),
         QByteArray::fromStdString("/nonexistent/browser:" + (bin / "browser").string() + " %s"),
         noted + ".browser", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        qputenv("BROWSER", row.browser);
        std::filesystem::remove(noted);
        StandInProvider provider;
        BrowserSignIn signIn(row.opener, 10s, 5s);
        std::optional<SignInOutcome> outcome;
        TaskScope scope;
        scope.spawn(Keep(signIn.run(provider.provider(), "alice@example.org", "mail.example.org"),
                         outcome));
        ASSERT_TRUE(RunUntil([] { return ShownWindow() != nullptr; }));
        SignInWindow* window = ShownWindow();
        EXPECT_EQ(window->windowTitle(), QStringLiteral("サインイン"));
        auto* failure = window->findChild<QLabel*>(QStringLiteral("failure"));
        ASSERT_NE(failure, nullptr);
        // Told as soon as the opener fails (bench/signin times it), and only then.
        ASSERT_TRUE(RunUntil([&] {
            return failure->isVisible() ||
                   (!row.fails && std::filesystem::exists(row.notedBy) && !HasChildren());
        }));
        EXPECT_EQ(failure->isVisible(), row.fails);
        EXPECT_EQ(failure->text().toStdString(), BrowserFailedText());
        QStringList texts;
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            texts << label->text();
        }
        EXPECT_TRUE(texts.contains(QStringLiteral(
            "ブラウザーで alice@example.org（mail.example.org）のサインインのページを開きました。"
            "ブラウザーでサインインしてください。")))
            << texts.join('\n').toStdString();

        // The address as the browser got it: plain text to select and copy, nothing secret.
        auto* address = window->findChild<QPlainTextEdit*>(QStringLiteral("address"));
        ASSERT_NE(address, nullptr);
        EXPECT_TRUE(address->isReadOnly());
        EXPECT_TRUE(address->textInteractionFlags() & Qt::TextSelectableByMouse);
        const QUrl shown(address->toPlainText());
        if (row.notedBy.empty()) {
            EXPECT_EQ(shown, failing.opened.back());
        } else {
            ASSERT_TRUE(RunUntil([&] { return std::filesystem::exists(row.notedBy); }));
            EXPECT_EQ(address->toPlainText().toStdString(), TempDir::Read(row.notedBy));
        }
        EXPECT_FALSE(Param(shown, "code_challenge").isEmpty());
        EXPECT_FALSE(QUrlQuery(shown).hasQueryItem(QStringLiteral("code_verifier")));

        // Cancelled: the sign-in ends at once, its port and its window with it.
        auto* cancel = window->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
        EXPECT_FALSE(outcome.has_value()) << "a failed browser leaves the address to the user";
        cancel->click();
        ASSERT_TRUE(RunUntil([&] { return outcome.has_value(); }, 1s));
        EXPECT_EQ(outcome->failure, SignInCancelledText());
        EXPECT_TRUE(PortIsFree(RedirectPort(shown)));
        EXPECT_EQ(ShownWindow(), nullptr);
    }
    qputenv("PATH", path);
    qputenv("BROWSER", browserVariable);
}

// A keyring that keeps secrets in memory, finds no keyring, says no, or never answers.
struct FakeKeyring : Keyring {
    enum class Mode { Working, Absent, Refusing, Silent };
    explicit FakeKeyring(Mode mode) : mode(mode) {}

    void answer(const Done& done, Outcome outcome, std::string secret = {}) {
        ++calls;
        if (mode == Mode::Silent) {
            return;
        }
        done({mode == Mode::Absent     ? Outcome::Unavailable
              : mode == Mode::Refusing ? Outcome::Failed
                                       : outcome,
              Secret(std::move(secret))});
    }
    void read(const std::string& key, Done done) override {
        const auto kept = secrets.find(key);
        kept == secrets.end() ? answer(done, Outcome::NotFound)
                              : answer(done, Outcome::Done, kept->second);
    }
    void write(const std::string& key, const Secret& secret, Done done) override {
        if (mode == Mode::Working) {
            secrets[key] = secret.reveal();
        }
        answer(done, Outcome::Done);
    }
    void remove(const std::string& key, Done done) override {
        if (mode == Mode::Working) {
            secrets.erase(key);
        }
        answer(done, Outcome::Done);
    }

    Mode mode;
    std::map<std::string, std::string> secrets;
    int calls = 0;
};

std::string Load(TokenStore& store, const std::string& key) {
    const std::optional<Secret> token = RunTask(store.load(key), 5s);
    return token ? token->reveal() : "(no answer)";
}

TEST_F(SignInTest, RefreshTokensLiveInTheKeyringOrElseInAFileForTheOwnerOnly) {
    // Without a session bus QtKeychain fails at once; on a desktop the bus is named away.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/breezel-test-bus");
    QtKeyring desktop(QStringLiteral("breezel-test"));
    using Mode = FakeKeyring::Mode;
    struct Row {
        const char* name;
        Mode mode;
        bool real;
        bool inKeyring;
        bool inFile;
    };
    const Row rows[] = {
        {"a working keyring", Mode::Working, false, true, false},
        {"no keyring", Mode::Absent, false, false, true},
        {"a keyring that never answers", Mode::Silent, false, false, true},
        {"a keyring that says no", Mode::Refusing, false, false, false},
        {"QtKeychain without a session bus", Mode::Working, true, false, true},
    };
    const std::string key = "alice@mail.example.org";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const auto file = dir / "oauth-tokens.ini";
        // Left by an earlier run: a renewal's new token always replaces it.
        TempDir::Write(file, "[" + key + "]\nrefresh=rt-secret-0\n");
        FakeKeyring fake(row.mode);
        TokenStore store(row.real ? static_cast<Keyring&>(desktop) : fake, file, 50ms);
        ASSERT_TRUE(RunTask(store.save(key, Secret("rt-secret-1")), 5s));
        EXPECT_EQ(fake.secrets.count(key), row.inKeyring ? 1u : 0u);
        EXPECT_EQ(TempDir::Read(file).find("rt-secret-0"), std::string::npos);
        EXPECT_EQ(TempDir::Read(file).find("rt-secret-1") != std::string::npos, row.inFile);
        EXPECT_EQ(TempDir::Mode(file), 0600u);
        const bool absent = row.inFile;
        EXPECT_EQ(store.keyringAbsent(), absent);

        const int calls = fake.calls;
        EXPECT_EQ(Load(store, key), row.inKeyring || row.inFile ? "rt-secret-1" : std::string());
        RunTask(store.forget(key), 5s);
        EXPECT_EQ(Load(store, key), std::string());
        EXPECT_EQ(fake.secrets.count(key), 0u);
        EXPECT_EQ(TempDir::Read(file).find("rt-secret-1"), std::string::npos);
        if (absent) {
            EXPECT_EQ(fake.calls, calls) << "a keyring found absent is not read";
        }
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

TEST_F(SignInTest, ATokenKeptWithoutAKeyringMovesIntoOneThatAnswers) {
    TempDir dir;
    const std::string key = "alice@mail.example.org";
    const auto file = dir / "oauth-tokens.ini";
    TempDir::Write(file, "[" + key + "]\nrefresh=rt-secret-2\n");
    FakeKeyring keyring(FakeKeyring::Mode::Working);
    keyring.secrets[key] = "rt-secret-1";  // written late by a keyring that timed out
    TokenStore store(keyring, file, 5s);
    EXPECT_EQ(Load(store, key), "rt-secret-2");
    EXPECT_EQ(keyring.secrets[key], "rt-secret-2");
    EXPECT_EQ(TempDir::Read(file).find("rt-secret"), std::string::npos);

    // A keyring that appears while the program runs holds the tokens from the next save on, and
    // the others' move into it when read.
    keyring.mode = FakeKeyring::Mode::Absent;
    RunTask(store.save(key, Secret("rt-secret-3")), 5s);
    RunTask(store.save("bob@mail.example.org", Secret("rt-secret-b")), 5s);
    EXPECT_TRUE(store.keyringAbsent());
    keyring.mode = FakeKeyring::Mode::Working;
    EXPECT_EQ(Load(store, key), "rt-secret-3") << "read from the file while it was absent";
    RunTask(store.save(key, Secret("rt-secret-4")), 5s);
    EXPECT_FALSE(store.keyringAbsent());
    EXPECT_EQ(keyring.secrets[key], "rt-secret-4");
    EXPECT_EQ(Load(store, "bob@mail.example.org"), "rt-secret-b");
    EXPECT_EQ(keyring.secrets["bob@mail.example.org"], "rt-secret-b");
    EXPECT_EQ(TempDir::Read(file).find("rt-secret"), std::string::npos);
}

TEST_F(SignInTest, ATokenFileOthersCouldReadIsMadeTheOwnersAloneAndTheUserToldOnce) {
    TempDir dir;
    const auto file = dir / "oauth-tokens.ini";
    TempDir::Write(file, "[alice@mail.example.org]\nrefresh=rt-secret-1\n");
    std::filesystem::permissions(file, std::filesystem::perms(0644));
    FakeKeyring keyring(FakeKeyring::Mode::Absent);
    std::vector<std::string> told;
    TokenStore store(keyring, file, 5s, [&](const std::string& text) { told.push_back(text); });
    EXPECT_EQ(Load(store, "alice@mail.example.org"), "rt-secret-1");
    EXPECT_EQ(TempDir::Mode(file), 0600u);
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    EXPECT_EQ(Load(store, "alice@mail.example.org"), "rt-secret-1");
    EXPECT_EQ(TempDir::Mode(file), 0600u);
    EXPECT_EQ(told, std::vector<std::string>{
                        "トークンのファイルがほかのユーザーにも読める設定でした（0644）: "
                        "本人だけが読めるようにしました: " +
                        file.string()});
}

TEST(OAuthProviders, ChosenByTheServersHostWithTheClientOfTheFileOrTheBuild) {
    const BuiltInClients none;
    const BuiltInClients built{"build-google", "build-secret", "build-microsoft"};
    struct Row {
        const char* name;
        std::string ini;
        std::string host;
        BuiltInClients clients;
        std::string section;  // empty: no provider
        std::string clientId;
        std::string secret;
        std::string issuer;
        std::size_t extraParameters;
    };
    const std::string issuer = "[mail.example.org]\nissuer=https://id.example.org\n";
    const Row rows[] = {
        {"Google from the build", "", "imap.gmail.com", built, "google", "build-google",
         "build-secret", "", 2},
        {"Google from the file", "[google]\nclient_id=mine\n", "POP.GMAIL.COM", built, "google",
         "mine", "", "", 2},
        {"Google, file with secret", "[google]\nclient_id=mine\nclient_secret=s\n",
         "imap.gmail.com", none, "google", "mine", "s", "", 2},
        {"Google without a client", "", "imap.gmail.com", none, "", "", "", "", 0},
        {"Microsoft from the build", "", "outlook.office365.com", built, "microsoft",
         "build-microsoft", "", "", 0},
        {"Microsoft from the file", "[Microsoft]\nclient_id=ms\n", "imap-mail.outlook.com", none,
         "microsoft", "ms", "", "", 0},
        {"another provider", issuer + "client_id=c\n", "mail.example.org", built,
         "mail.example.org", "c", "", "https://id.example.org", 1},
        {"another provider without offline access", issuer + "client_id=c\nscope=openid\n",
         "mail.example.org", built, "mail.example.org", "c", "", "https://id.example.org", 0},
        {"another provider without a client", issuer, "mail.example.org", built, "", "", "", "", 0},
        {"an unknown host", "[other.example.org]\nclient_id=c\n", "other.example.org", built, "",
         "", "", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        TempDir::Write(dir / "oauth.ini", row.ini);
        const ProviderChoice choice = OAuthProviders(dir.path(), row.clients).forHost(row.host);
        if (row.section.empty()) {
            EXPECT_FALSE(choice.provider.has_value());
            EXPECT_NE(choice.failure.find(dir.path().string()), std::string::npos)
                << choice.failure;
            continue;
        }
        ASSERT_TRUE(choice.provider.has_value()) << choice.failure;
        EXPECT_EQ(choice.provider->section, row.section);
        EXPECT_EQ(choice.provider->clientId, row.clientId);
        EXPECT_EQ(choice.provider->clientSecret, row.secret);
        EXPECT_EQ(choice.provider->issuer, row.issuer);
        EXPECT_EQ(choice.provider->authorizationParameters.size(), row.extraParameters);
        EXPECT_EQ(choice.provider->tokenUrl.empty(), !row.issuer.empty());
        EXPECT_EQ(choice.provider->redirectToLocalhost, row.section == "microsoft");
    }

    const std::filesystem::path data = "/home/alice/breezel/★MailData";
    EXPECT_EQ(OAuthProviders(data, none).forHost("imap.gmail.com").failure,
              "OAuth2 のクライアント ID がありません: /home/alice/breezel/★MailData/oauth.ini の "
              "[google] に client_id= と client_secret= を書いてください"
              "（クライアントの登録のしかたは README にあります）");
    EXPECT_EQ(OAuthProviders(data, none).forHost("mail.example.org").failure,
              "OAuth2 のサインイン先が分かりません: mail.example.org（/home/alice/breezel/"
              "★MailData/oauth.ini の [mail.example.org] に issuer= と client_id= "
              "を書いてください）");
}

TEST_F(SignInTest, DiscoveryTakesOnlyTheIssuersOwnDocumentOverHttpsOrLoopback) {
    QByteArray document;
    TinyHttpServer http([&](const HttpRequest&) { return HttpResponse{200, document}; });
    const QString url = http.url();
    const QString good = QStringLiteral(R"({"issuer":"%1","authorization_endpoint":"%1/a",)"
                                        R"("token_endpoint":"%1/t"})")
                             .arg(url);
    struct Row {
        const char* name;
        QString issuer;
        QString document;
        std::string failure;
    };
    const std::string wellKnown = url.toStdString() + "/.well-known/openid-configuration";
    const Row rows[] = {
        {"its own document", url + "/", good, ""},
        {"plain http elsewhere", "http://id.example.org", good,
         InsecureAddressText("http://id.example.org")},
        {"another issuer's document", url,
         QString(good).replace("\"issuer\":\"" + url, "\"issuer\":\"https://x"),
         DiscoveryFailedText(wellKnown, "issuer か endpoint が合いません")},
        {"an endpoint over plain http elsewhere", url,
         QString(good).replace(url + "/t", "http://id.example.org/t"),
         InsecureAddressText("http://id.example.org/t")},
    };
    OAuthRequests requests(5s);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        document = row.document.toUtf8();
        const std::optional<OAuthEndpoints> found =
            RunTask(requests.discover(row.issuer.toStdString()), 10s);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->failure, row.failure);
        EXPECT_EQ(found->tokenUrl, row.failure.empty() ? url.toStdString() + "/t" : "");
    }
}

class OAuthSignInTest : public SignInTest {
protected:
    OAuthSignInTest() {
        TempDir::Write(dir / "oauth.ini",
                       "[127.0.0.1]\nissuer=" + provider.http.url().toStdString() +
                           "\nclient_id=breezel-test\n");
    }

    SignInParts parts(UrlOpener opener) {
        SignInParts parts;
        parts.keyring = &keyring;
        parts.openUrl = std::move(opener);
        parts.tell = [](const std::string&) {};
        parts.now = [this] { return now; };
        return parts;
    }

    /// The time the access tokens' lifetimes are judged by: it passes only when a test says.
    std::chrono::steady_clock::time_point now{};

    StandInProvider provider;
    TempDir dir;
    FakeKeyring keyring{FakeKeyring::Mode::Working};
    const std::string server = "imaps://;AUTH=XOAUTH2@127.0.0.1:1993";
    const std::string key = "alice@127.0.0.1";
};

TEST_F(OAuthSignInTest, SignsInOnceRenewsWithRotatedTokensAndAsksAgainOnlyAfterARevocation) {
    // The user's browser, who signs in at once.
    std::vector<std::unique_ptr<RawExchange>> pages;
    int opened = 0;
    OAuthSignIn signIn(
        dir.path(), parts([&](const QUrl& url, const std::function<void()>&) {
            ++opened;
            pages.push_back(std::make_unique<RawExchange>(RedirectPort(url), Answer(url)));
        }));
    auto ask = [&](bool mayAsk) {
        return *RunTask(signIn.accessToken(net::MailboxAt(server, "alice"), mayAsk));
    };
    auto lastRefresh = [&] {
        return provider.tokenRequests().back().queryItemValue(QStringLiteral("refresh_token"));
    };

    AccessToken got = ask(false);
    EXPECT_EQ(got.failure, SignInNeededText());
    EXPECT_FALSE(got.tellAlways);
    EXPECT_EQ(opened, 0);

    got = ask(true);
    EXPECT_EQ(got.token, "at-secret-1");
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(keyring.secrets[key], "rt-secret-1");
    EXPECT_FALSE(std::filesystem::exists(dir / "oauth-tokens.ini"));

    EXPECT_EQ(ask(false).token, "at-secret-1") << "from memory while it lasts";
    EXPECT_EQ(provider.tokenRequests().size(), 1u);

    signIn.refused(net::MailboxAt(server, "alice"), "at-secret-1");
    provider.lifetime = 3600;
    EXPECT_EQ(ask(false).token, "at-secret-2");
    EXPECT_EQ(lastRefresh(), "rt-secret-1");
    EXPECT_EQ(keyring.secrets[key], "rt-secret-2");
    now += std::chrono::seconds(3600 - 61);
    EXPECT_EQ(ask(false).token, "at-secret-2") << "usable until its last minute";
    now += std::chrono::seconds(1);
    EXPECT_EQ(ask(false).token, "at-secret-3") << "a token in its last minute is renewed";
    EXPECT_EQ(lastRefresh(), "rt-secret-2") << "the rotated token, kept before its use";
    // A short-lived token keeps its last quarter instead of a minute it does not have.
    provider.lifetime = 8;
    signIn.refused(net::MailboxAt(server, "alice"), "at-secret-3");
    EXPECT_EQ(ask(false).token, "at-secret-4");
    now += std::chrono::seconds(5);
    EXPECT_EQ(ask(false).token, "at-secret-4");
    now += std::chrono::seconds(2);
    EXPECT_EQ(ask(false).token, "at-secret-5");

    provider.refresh.clear();  // revoked at the provider
    now += std::chrono::seconds(8);
    got = ask(false);
    EXPECT_EQ(got.failure, SignInRevokedText());
    EXPECT_TRUE(got.tellAlways);
    EXPECT_EQ(keyring.secrets.count(key), 0u);
    got = ask(false);
    EXPECT_EQ(got.failure, SignInNeededText());
    EXPECT_FALSE(got.tellAlways);
    EXPECT_EQ(opened, 1);

    EXPECT_EQ(ask(true).token, "at-secret-6");
    EXPECT_EQ(opened, 2);

    // A provider gone since its endpoints were read is found out before a browser opens.
    provider.http.stop();
    got = *RunTask(signIn.accessToken(net::MailboxAt(server, "bob"), true));
    EXPECT_EQ(got.failure.rfind(
                  DiscoveryFailedText(
                      provider.http.url().toStdString() + "/.well-known/openid-configuration", ""),
                  0),
              0u)
        << got.failure;
    EXPECT_EQ(opened, 2);
}

TEST_F(OAuthSignInTest, RequestsDuringASignInShareItsBrowserAndItsToken) {
    Browser browser;
    OAuthSignIn signIn(dir.path(), parts(browser.opener()));
    std::optional<AccessToken> got[3];
    TaskScope scope;
    scope.spawn(Keep(signIn.accessToken(net::MailboxAt(server, "alice"), true), got[0]));
    scope.spawn(Keep(signIn.accessToken(net::MailboxAt(server, "alice"), true), got[1]));
    scope.spawn(Keep(signIn.accessToken(net::MailboxAt(server, "alice"), false), got[2]));
    ASSERT_TRUE(RunUntil([&] { return !browser.opened.empty(); }));
    RawExchange answer(RedirectPort(browser.opened[0]), Answer(browser.opened[0]));
    ASSERT_TRUE(RunUntil([&] { return got[0] && got[1] && got[2]; }));
    for (const auto& each : got) {
        EXPECT_EQ(each->token, "at-secret-1");
    }
    EXPECT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(provider.tokenRequests().size(), 1u);
}

TEST_F(OAuthSignInTest, AKeyringThatAppearsTakesTheFilesTokenAtTheNextRenewal) {
    provider.rotates = false;
    provider.refresh = "rt-secret-0";
    TempDir::Write(dir / "oauth-tokens.ini", "[" + key + "]\nrefresh=rt-secret-0\n");
    keyring.mode = FakeKeyring::Mode::Absent;
    Browser browser;
    OAuthSignIn signIn(dir.path(), parts(browser.opener()));
    EXPECT_EQ(RunTask(signIn.accessToken(net::MailboxAt(server, "alice"), false))->token,
              "at-secret-1");
    keyring.mode = FakeKeyring::Mode::Working;
    now += std::chrono::seconds(3600);
    EXPECT_EQ(RunTask(signIn.accessToken(net::MailboxAt(server, "alice"), false))->token,
              "at-secret-2");
    EXPECT_EQ(keyring.secrets[key], "rt-secret-0");
    EXPECT_EQ(TempDir::Read(dir / "oauth-tokens.ini").find("rt-secret"), std::string::npos);
    EXPECT_TRUE(browser.opened.empty());
}

}  // namespace
}  // namespace breezel
