#include "qt/BrowserSignIn.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QOAuth2AuthorizationCodeFlow>
#include <QRandomGenerator>
#include <QTimer>
#include <memory>
#include <vector>

#include "qt/Bindings.h"
#include "qt/LoopbackReplyHandler.h"
#include "qt/SignInTexts.h"

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

}  // namespace

std::string NewCodeVerifier() {
    return RandomUrlSafe(48);
}

std::string CodeChallenge(const std::string& verifier) {
    return QCryptographicHash::hash(QByteArray::fromStdString(verifier), QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

BrowserSignIn::BrowserSignIn(UrlOpener opener, std::chrono::milliseconds limit,
                             std::chrono::milliseconds requestLimit)
    : opener_(std::move(opener)), limit_(limit), requestLimit_(requestLimit) {
    SilenceNetworkAuthLog();
}

Task<SignInOutcome> BrowserSignIn::run(OAuthProvider provider, std::string loginHint) {
    QNetworkAccessManager network;
    network.setTransferTimeout(static_cast<int>(requestLimit_.count()));
    QOAuth2AuthorizationCodeFlow flow(&network);
    auto* handler = new LoopbackReplyHandler(&flow);
    if (!handler->listen()) {
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

    const std::string verifier = NewCodeVerifier();
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
                parameters->replace(QStringLiteral("code_verifier"), ToQString(verifier));
            }
        });

    // Answers come from the event loop, never from inside the flow's own signals: the flow
    // goes as soon as the answer is taken. The guard drops those still to come.
    const std::unique_ptr<QObject, DeleteLater> guard(new QObject);
    QObject* const context = guard.get();
    SignInOutcome outcome = co_await Answer<SignInOutcome>([&](auto reply) {
        auto later = [context, reply](SignInOutcome answer) {
            QMetaObject::invokeMethod(
                context, [reply, answer = std::move(answer)] { reply(answer); },
                Qt::QueuedConnection);
        };
        QObject::connect(&flow, &QAbstractOAuth::authorizeWithBrowser, context,
                         [this, later](const QUrl& url) {
                             if (!opener_(url)) {
                                 later({{}, {}, 0, BrowserFailedText()});
                             }
                         });
        QObject::connect(&flow, &QAbstractOAuth::granted, context, [&flow, later] {
            const QDateTime expires = flow.expirationAt();
            const std::int64_t seconds =
                expires.isValid() ? QDateTime::currentDateTime().secsTo(expires) : 0;
            later({ToStdString(flow.token()),
                   ToStdString(flow.refreshToken()),
                   seconds > 0 ? seconds : 0,
                   {}});
        });
        QObject::connect(&flow, &QAbstractOAuth2::error, context,
                         [later](const QString& error, const QString& description, const QUrl&) {
                             later({{},
                                    {},
                                    0,
                                    SignInDeniedText(ToStdString(error.left(80)),
                                                     ToStdString(description.left(120)))});
                         });
        QObject::connect(handler, &LoopbackReplyHandler::tokenRequestFailed, context,
                         [later](const QString& why) {
                             later({{}, {}, 0, TokenRequestFailedText(ToStdString(why))});
                         });
        QTimer::singleShot(limit_, context, [later] { later({{}, {}, 0, SignInTimedOutText()}); });
        flow.grant();
    });
    handler->close();
    co_return outcome;
}

}  // namespace breezel
