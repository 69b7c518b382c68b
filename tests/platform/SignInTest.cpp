// The OAuth2 sign-in on real loopback sockets: the listener that hears the browser, PKCE, the
// bounds, the providers and their discovery. Every message written meanwhile (debug included)
// is checked for secrets.
#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QUrlQuery>
#include <set>

#include "platform/TinyHttpServer.h"
#include "qt/BrowserSignIn.h"
#include "qt/OAuthProviders.h"
#include "qt/OAuthRequests.h"
#include "qt/SignInTexts.h"
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

    OAuthProvider provider() const {
        const std::string url = http.url().toStdString();
        return {"127.0.0.1",
                "",
                url + "/auth",
                url + "/token",
                "openid email offline_access",
                "breezel-test",
                "",
                {{"prompt", "consent"}}};
    }

    TinyHttpServer http;
    std::string refresh;
    int issued = 0;
    int lifetime = 3600;
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
        return [this](const QUrl& url) {
            opened.push_back(url);
            return works;
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

TEST_F(SignInTest, TheListenerTakesOnlyThisSignInsAnswer) {
    struct Row {
        const char* name;
        QByteArray request;  // {S}: this sign-in's state
        QByteArray status;
        std::string ends;  // empty: the sign-in still waits
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
        scope.spawn(Keep(signIn.run(provider.provider(), "alice@example.org"), outcome));
        ASSERT_TRUE(RunUntil([&] { return !browser.opened.empty(); }));
        const QUrl opened = browser.opened.front();
        secrets << Param(opened, "state");
        QByteArray request = row.request;
        request.replace("{S}", Param(opened, "state").toUtf8());
        RawExchange bad(RedirectPort(opened), request);
        ASSERT_TRUE(RunUntil([&] { return bad.over; }));
        EXPECT_TRUE(bad.answer.startsWith("HTTP/1.1 " + row.status)) << bad.answer.left(60).data();

        if (row.ends.empty()) {
            // Still waiting: the true answer ends it, with the true code's token.
            RawExchange good(RedirectPort(opened), Answer(opened));
            ASSERT_TRUE(RunUntil([&] { return outcome.has_value(); }));
            EXPECT_EQ(outcome->accessToken, "at-secret-1");
            ASSERT_EQ(provider.tokenRequests().size(), 1u);
            EXPECT_EQ(provider.tokenRequests()[0].queryItemValue(QStringLiteral("code")),
                      QStringLiteral("good-code"));
        } else {
            ASSERT_TRUE(RunUntil([&] { return outcome.has_value(); }));
            EXPECT_EQ(outcome->failure, row.ends);
            EXPECT_EQ(outcome->accessToken, "");
        }
        EXPECT_TRUE(PortIsFree(RedirectPort(opened)));
    }
}

TEST_F(SignInTest, EachSignInSendsAFreshS256ChallengeAndItsVerifier) {
    // RFC 7636, appendix B.
    EXPECT_EQ(CodeChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    StandInProvider provider;
    Browser browser;
    BrowserSignIn signIn(browser.opener(), 10s, 5s);
    std::set<QString> verifiers;
    std::set<QString> states;
    for (std::size_t i = 1; i <= 2; ++i) {
        std::optional<SignInOutcome> outcome;
        TaskScope scope;
        scope.spawn(Keep(signIn.run(provider.provider(), "alice@example.org"), outcome));
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
        EXPECT_EQ(outcome->refreshToken, "rt-secret-" + std::to_string(i));
        EXPECT_NEAR(static_cast<double>(outcome->expiresIn), 3600, 2);

        const QUrlQuery sent = provider.tokenRequests().back();
        const QString verifier = sent.queryItemValue(QStringLiteral("code_verifier"));
        secrets << verifier << Param(asked, "state");
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9._~-]{43,128}$"))
                        .match(verifier)
                        .hasMatch())
            << verifier.toStdString();
        EXPECT_EQ(QString::fromStdString(CodeChallenge(verifier.toStdString())),
                  Param(asked, "code_challenge"));
        EXPECT_EQ(sent.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
                  Param(asked, "redirect_uri"));
        verifiers.insert(verifier);
        states.insert(Param(asked, "state"));
    }
    EXPECT_EQ(verifiers.size(), 2u);
    EXPECT_EQ(states.size(), 2u);
}

TEST_F(SignInTest, AnAbandonedSignInOrAnUnopenedBrowserEndsAndFreesThePort) {
    struct Row {
        const char* name;
        bool browserWorks;
        std::chrono::milliseconds limit;
        std::string ends;
    };
    const Row rows[] = {{"abandoned", true, 50ms, SignInTimedOutText()},
                        {"no browser", false, 10s, BrowserFailedText()}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StandInProvider provider;
        Browser browser;
        browser.works = row.browserWorks;
        BrowserSignIn signIn(browser.opener(), row.limit, 5s);
        const std::optional<SignInOutcome> outcome =
            RunTask(signIn.run(provider.provider(), "alice"), 5s);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->failure, row.ends);
        ASSERT_EQ(browser.opened.size(), 1u);
        EXPECT_TRUE(PortIsFree(RedirectPort(browser.opened[0])));
    }
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
        {"not a document", url, "<html>",
         DiscoveryFailedText(wellKnown, "issuer か endpoint が合いません")},
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

}  // namespace
}  // namespace breezel
