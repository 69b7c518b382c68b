#include "qt/BrowserSignIn.h"

#include <QCryptographicHash>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QOAuth2AuthorizationCodeFlow>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <memory>
#include <vector>

#include "qt/Bindings.h"
#include "qt/LoopbackReplyHandler.h"
#include "qt/SignInTexts.h"
#include "qt/SignInWindow.h"

namespace breezel {

namespace {

std::string RandomUrlSafe(std::size_t bytes) {
    std::vector<quint32> words((bytes + 3) / 4);
    QRandomGenerator::system()->fillRange(words.data(), static_cast<qsizetype>(words.size()));
    const QByteArray random(reinterpret_cast<const char*>(words.data()),
                            static_cast<qsizetype>(bytes));
    return random.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

QLoggingCategory::CategoryFilter previousFilter = nullptr;

// QtNetworkAuth's categories write request URLs (codes in them) and answers into warnings, and
// more at the debug level: they stay off whatever rules the environment sets.
void WithoutNetworkAuth(QLoggingCategory* category) {
    if (previousFilter != nullptr) {
        previousFilter(category);
    }
    if (qstrncmp(category->categoryName(), "qt.networkauth", 14) == 0) {
        for (const QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg}) {
            category->setEnabled(type, false);
        }
    }
}

void SilenceNetworkAuthLog() {
    static const bool silenced = [] {
        previousFilter = QLoggingCategory::installFilter(WithoutNetworkAuth);
        return true;
    }();
    (void)silenced;
}

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

struct CloseLater {
    void operator()(QWidget* window) const {
        window->hide();
        window->deleteLater();
    }
};

struct Command {
    QString program;
    QStringList arguments;
};

// xdg-open, then $BROWSER's commands (colon-separated, %s for the address, else it goes last).
std::vector<Command> BrowserCommands(const QString& url) {
    std::vector<Command> commands{{QStringLiteral("xdg-open"), {url}}};
    const QStringList entries = qEnvironmentVariable("BROWSER").split(u':', Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        QStringList words = QProcess::splitCommand(entry);
        if (words.isEmpty()) {
            continue;
        }
        bool placed = false;
        for (qsizetype i = 1; i < words.size(); ++i) {
            placed = placed || words[i].contains(QLatin1String("%s"));
            words[i].replace(QLatin1String("%s"), url);
        }
        if (!placed) {
            words << url;
        }
        const QString program = words.takeFirst();
        commands.push_back({program, words});
    }
    return commands;
}

void TryCommands(std::shared_ptr<const std::vector<Command>> commands, std::size_t next,
                 std::function<void()> failed) {
    if (next >= commands->size()) {
        failed();
        return;
    }
    // No parent: a browser run in the foreground lives on when the sign-in is over.
    auto* process = new QProcess;
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto tryNext = [process, commands, next, failed] {
        process->deleteLater();
        TryCommands(commands, next + 1, failed);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, tryNext](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0) {
                             tryNext();
                         } else {
                             process->deleteLater();
                         }
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [tryNext](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             tryNext();
                         }
                     });
    process->start((*commands)[next].program, (*commands)[next].arguments);
}

}  // namespace

UrlOpener DesktopBrowser() {
    return [](const QUrl& url, std::function<void()> failed) {
        TryCommands(std::make_shared<const std::vector<Command>>(
                        BrowserCommands(url.toString(QUrl::FullyEncoded))),
                    0, std::move(failed));
    };
}

Secret NewCodeVerifier() {
    return Secret(RandomUrlSafe(48));
}

std::string CodeChallenge(const Secret& verifier) {
    return QCryptographicHash::hash(QByteArray::fromStdString(verifier.reveal()),
                                    QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

BrowserSignIn::BrowserSignIn(UrlOpener opener, std::chrono::milliseconds limit,
                             std::chrono::milliseconds requestLimit)
    : opener_(std::move(opener)), limit_(limit), requestLimit_(requestLimit) {
    SilenceNetworkAuthLog();
}

Task<SignInOutcome> BrowserSignIn::run(OAuthProvider provider, std::string loginHint,
                                       std::string host) {
    QNetworkAccessManager network;
    network.setTransferTimeout(static_cast<int>(requestLimit_.count()));
    QOAuth2AuthorizationCodeFlow flow(&network);
    auto* handler = new LoopbackReplyHandler(&flow);
    if (!handler->listen(provider.redirectToLocalhost)) {
        co_return SignInOutcome{{}, {}, 0, ListenFailedText(ToStdString(handler->listenError()))};
    }
    handler->setCallbackText(ToQString(SignInDonePageText()));
    flow.setReplyHandler(handler);
    flow.setAuthorizationUrl(QUrl(ToQString(provider.authorizationUrl)));
    flow.setAccessTokenUrl(QUrl(ToQString(provider.tokenUrl)));
    flow.setClientIdentifier(ToQString(provider.clientId));
    flow.setClientIdentifierSharedKey(ToQString(provider.clientSecret));
    flow.setScope(ToQString(provider.scope));
    // Our own state from the system's random source, and the listener takes only it.
    const QString state = ToQString(RandomUrlSafe(24));
    flow.setState(state);
    handler->setExpectedState(state);

    const Secret verifier = NewCodeVerifier();
    flow.setModifyParametersFunction(
        [verifier, challenge = ToQString(CodeChallenge(verifier)), hint = ToQString(loginHint),
         extra = provider.authorizationParameters](QAbstractOAuth::Stage stage,
                                                   QMultiMap<QString, QVariant>* parameters) {
            if (stage == QAbstractOAuth::Stage::RequestingAuthorization) {
                parameters->replace(QStringLiteral("code_challenge"), challenge);
                parameters->replace(QStringLiteral("code_challenge_method"),
                                    QStringLiteral("S256"));
                if (!hint.isEmpty()) {
                    parameters->replace(QStringLiteral("login_hint"), hint);
                }
                for (const auto& [name, value] : extra) {
                    parameters->replace(ToQString(name), ToQString(value));
                }
            } else if (stage == QAbstractOAuth::Stage::RequestingAccessToken) {
                parameters->replace(QStringLiteral("code_verifier"), ToQString(verifier.reveal()));
            }
        });

    // Answers come from the event loop, never from inside the flow's own signals: the flow
    // goes as soon as the answer is taken. The guard drops those still to come.
    const std::unique_ptr<QObject, DeleteLater> guard(new QObject);
    QObject* const context = guard.get();
    std::unique_ptr<SignInWindow, CloseLater> window;
    SignInOutcome outcome = co_await Answer<SignInOutcome>([&](auto reply) {
        auto later = [context, reply](SignInOutcome answer) {
            QMetaObject::invokeMethod(
                context, [reply, answer = std::move(answer)] { reply(answer); },
                Qt::QueuedConnection);
        };
        QObject::connect(&flow, &QAbstractOAuth::authorizeWithBrowser, context,
                         [this, context, later, &window, &loginHint, &host](const QUrl& url) {
                             window.reset(new SignInWindow(loginHint, host, url));
                             QObject::connect(window.get(), &SignInWindow::cancelled, context,
                                              [later] {
                                                  later({{}, {}, 0, SignInCancelledText()});
                                              });
                             window->show();
                             opener_(url, [shown = QPointer<SignInWindow>(window.get())] {
                                 if (shown) {
                                     shown->showOpenerFailed();
                                 }
                             });
                         });
        handler->setTokenAnswerHandler([later](TokenGrant grant) {
            if (!grant.failure.empty()) {
                later({{}, {}, 0, TokenRequestFailedText(grant.failure)});
            } else {
                later({std::move(grant.accessToken),
                       std::move(grant.refreshToken),
                       grant.expiresIn,
                       {}});
            }
        });
        QObject::connect(&flow, &QAbstractOAuth2::error, context,
                         [later](const QString& error, const QString& description, const QUrl&) {
                             later({{},
                                    {},
                                    0,
                                    SignInDeniedText(ToStdString(error.left(80)),
                                                     ToStdString(description.left(120)))});
                         });
        QTimer::singleShot(limit_, context, [later] { later({{}, {}, 0, SignInTimedOutText()}); });
        flow.grant();
    });
    handler->setTokenAnswerHandler({});
    handler->close();
    co_return outcome;
}

}  // namespace breezel
