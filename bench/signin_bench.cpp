// How soon a sign-in that cannot go on tells the user, in milliseconds: the sign-in window's
// line after the desktop's browser failed (the real xdg-open, whose registered browser fails,
// then $BROWSER failing too), and the check's text for a provider that is gone (nobody listens)
// or that takes the connection and never answers. bench/signin runs it.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>

#include "qt/BrowserSignIn.h"
#include "qt/OAuthSignIn.h"
#include "qt/SignInWindow.h"

namespace {

using namespace breezel;
using namespace std::chrono_literals;

// None answers here, so no token is ever kept.
struct NoKeyring : Keyring {
    void read(const std::string&, Done done) override { done({Outcome::Unavailable, {}}); }
    void write(const std::string&, const Secret&, Done done) override {
        done({Outcome::Unavailable, {}});
    }
    void remove(const std::string&, Done done) override { done({Outcome::Unavailable, {}}); }
};

// A bench may run a loop of its own; the program never does.
bool Spin(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    poll.start(1);
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    if (!done()) {
        loop.exec();
    }
    return done();
}

template <typename T>
Task<> Keep(Task<T> task, std::optional<T>& result) {
    result.emplace(co_await std::move(task));
}

void WriteFile(const QString& path, const std::string& text) {
    std::ofstream(path.toStdString()) << text;
}

// From the sign-in's start to its window's failure line; -1 when none came.
double FailedBrowserMs() {
    BrowserSignIn signIn(DesktopBrowser(), 60s, 15s);
    const OAuthProvider provider{
        "bench", "",   "http://127.0.0.1:9/auth", "http://127.0.0.1:9/token", "openid", "bench", "",
        {},      false};
    std::optional<SignInOutcome> outcome;
    TaskScope scope;
    QElapsedTimer clock;
    clock.start();
    scope.spawn(Keep(signIn.run(provider, "alice@example.org", "mail.example.org"), outcome));
    const bool told = Spin(
        [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* window = qobject_cast<SignInWindow*>(widget);
                auto* line =
                    window ? window->findChild<QLabel*>(QStringLiteral("failure")) : nullptr;
                if (line != nullptr && window->isVisible() && line->isVisible()) {
                    return true;
                }
            }
            return false;
        },
        10s);
    return told ? static_cast<double>(clock.nsecsElapsed()) / 1e6 : -1;
}

// From a check by hand's request to its failure text, for a provider found by discovery.
double DeadProviderMs(const QString& folder, quint16 port) {
    WriteFile(
        folder + QStringLiteral("/oauth.ini"),
        "[127.0.0.1]\nissuer=http://127.0.0.1:" + std::to_string(port) + "\nclient_id=bench\n");
    NoKeyring keyring;
    SignInParts parts;
    parts.keyring = &keyring;
    parts.openUrl = [](const QUrl&, const std::function<void()>&) {};
    parts.tell = [](const std::string&) {};
    OAuthSignIn signIn(folder.toStdString(), std::move(parts));
    std::optional<AccessToken> got;
    TaskScope scope;
    QElapsedTimer clock;
    clock.start();
    scope.spawn(Keep(
        signIn.accessToken(net::MailboxAt("imaps://;AUTH=XOAUTH2@127.0.0.1:1993", "alice"), true),
        got));
    const bool told = Spin([&] { return got.has_value(); }, 60s);
    return told && !got->failure.empty() ? static_cast<double>(clock.nsecsElapsed()) / 1e6 : -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The figures alone: the offscreen platform's notes say nothing here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QTemporaryDir home;
    // A desktop whose registered browser fails: Debian's xdg-open then gives up (exit 4)
    // without trying $BROWSER, which fails here too.
    const QString data = home.path() + QStringLiteral("/data");
    const QString config = home.path() + QStringLiteral("/config");
    QDir().mkpath(data + QStringLiteral("/applications"));
    QDir().mkpath(config);
    WriteFile(data + QStringLiteral("/applications/broken.desktop"),
              "[Desktop Entry]\nType=Application\nName=Broken\nExec=false %u\n"
              "MimeType=x-scheme-handler/http;\n");
    WriteFile(config + QStringLiteral("/mimeapps.list"),
              "[Default Applications]\nx-scheme-handler/http=broken.desktop\n");
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("DESKTOP_SESSION");
    qputenv("BROWSER", "false");

    constexpr int kRuns = 10;
    for (int run = 1; run <= kRuns; ++run) {
        std::printf("failed browser told after:    %8.1f ms\n", FailedBrowserMs());
    }
    quint16 port = 0;
    {
        QTcpServer gone;
        gone.listen(QHostAddress::LocalHost, 0);
        port = gone.serverPort();
    }
    std::printf("provider gone, told after:    %8.1f ms\n", DeadProviderMs(home.path(), port));
    // Takes the connection, never answers: the request's 15 s without a byte.
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);
    std::printf("provider silent, told after:  %8.1f ms\n",
                DeadProviderMs(home.path(), silent.serverPort()));
    return 0;
}
