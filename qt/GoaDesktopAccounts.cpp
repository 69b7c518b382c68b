#include "qt/GoaDesktopAccounts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <utility>

#include "qt/Bindings.h"

namespace breezel {

namespace {

constexpr int kListingMs = 3000;
// GetAccessToken may refresh the token at the provider first.
constexpr int kCredentialMs = 5000;

const QString kService = QStringLiteral("org.gnome.OnlineAccounts");
const QString kRootPath = QStringLiteral("/org/gnome/OnlineAccounts");
const QString kAccount = QStringLiteral("org.gnome.OnlineAccounts.Account");
const QString kMail = QStringLiteral("org.gnome.OnlineAccounts.Mail");
const QString kOAuth2Based = QStringLiteral("org.gnome.OnlineAccounts.OAuth2Based");
const QString kPasswordBased = QStringLiteral("org.gnome.OnlineAccounts.PasswordBased");

using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

// Sends the call and suspends until its reply, or an error reply when there is no bus, no
// service or no answer in time. Without the service's name on the bus, D-Bus may start it once
// where it is installed, as any of its clients would; where it is not, the error is immediate.
Task<QDBusMessage> Call(QObject* owner, QDBusMessage call, int timeoutMs) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        co_return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                                        QString());
    }
    // By reference: gcc 12 destroys a closure in a co_await twice, captures and all.
    co_return co_await Answer<QDBusMessage>([&bus, &call, &owner, &timeoutMs](auto reply) {
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), owner);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [reply](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             reply(finished->reply());
                         });
    });
}

QDBusMessage MethodCall(const QString& path, const QString& interface, const QString& method) {
    return QDBusMessage::createMethodCall(kService, path, interface, method);
}

bool Answered(const QDBusMessage& reply, const char* signature) {
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.signature() == QLatin1String(signature);
}

std::optional<ManagedObjects> ToManagedObjects(const QDBusMessage& reply) {
    if (!Answered(reply, "a{oa{sa{sv}}}")) {
        return std::nullopt;
    }
    const auto argument = reply.arguments().value(0).value<QDBusArgument>();
    ManagedObjects objects;
    argument >> objects;
    return objects;
}

// The account an object stands for, when it is a mail account with an IMAP server that signs in
// by a token or a password (not, say, by Kerberos).
std::optional<DesktopAccount> MailAccount(const QDBusObjectPath& path,
                                          const Interfaces& interfaces) {
    if (!interfaces.contains(kAccount) || !interfaces.contains(kMail)) {
        return std::nullopt;
    }
    const QVariantMap account = interfaces.value(kAccount);
    const QVariantMap mail = interfaces.value(kMail);
    const bool oauth2 = interfaces.contains(kOAuth2Based);
    if (account.value(QStringLiteral("MailDisabled")).toBool() ||
        !mail.value(QStringLiteral("ImapSupported")).toBool() ||
        (!oauth2 && !interfaces.contains(kPasswordBased))) {
        return std::nullopt;
    }
    DesktopAccount found;
    // The object's path is what its methods are called on: the one id that is needed.
    found.id = ToStdString(path.path());
    found.name = ToStdString(mail.value(QStringLiteral("Name")).toString());
    found.email = ToStdString(mail.value(QStringLiteral("EmailAddress")).toString());
    found.imapHost = ToStdString(mail.value(QStringLiteral("ImapHost")).toString());
    found.imapUser = ToStdString(mail.value(QStringLiteral("ImapUserName")).toString());
    found.imapTls = mail.value(QStringLiteral("ImapUseSsl")).toBool();
    found.imapStartTls = mail.value(QStringLiteral("ImapUseTls")).toBool();
    found.oauth2 = oauth2;
    if (found.imapHost.empty()) {
        return std::nullopt;
    }
    return found;
}

}  // namespace

GoaDesktopAccounts::GoaDesktopAccounts() : calls_(std::make_unique<QObject>()) {}

GoaDesktopAccounts::~GoaDesktopAccounts() = default;

Task<std::vector<DesktopAccount>> GoaDesktopAccounts::mailAccounts() {
    const QDBusMessage reply =
        co_await Call(calls_.get(),
                      MethodCall(kRootPath, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                 QStringLiteral("GetManagedObjects")),
                      kListingMs);
    std::vector<DesktopAccount> accounts;
    if (const auto objects = ToManagedObjects(reply)) {
        for (auto it = objects->cbegin(); it != objects->cend(); ++it) {
            if (auto account = MailAccount(it.key(), it.value())) {
                accounts.push_back(std::move(*account));
            }
        }
    }
    co_return accounts;
}

Task<Secret> GoaDesktopAccounts::credential(DesktopAccount account) {
    const QString path = ToQString(account.id);
    QDBusMessage call = account.oauth2
                            ? MethodCall(path, kOAuth2Based, QStringLiteral("GetAccessToken"))
                            : MethodCall(path, kPasswordBased, QStringLiteral("GetPassword"));
    if (!account.oauth2) {
        call << QStringLiteral("imap-password");
    }
    const QDBusMessage reply = co_await Call(calls_.get(), std::move(call), kCredentialMs);
    // The token's lifetime is the desktop's business: it is asked again for every login.
    if (!Answered(reply, account.oauth2 ? "si" : "s")) {
        co_return Secret();
    }
    co_return Secret(ToStdString(reply.arguments().value(0).toString()));
}

Task<bool> GoaDesktopAccounts::renew(DesktopAccount account) {
    const QDBusMessage reply = co_await Call(
        calls_.get(),
        MethodCall(ToQString(account.id), kAccount, QStringLiteral("EnsureCredentials")),
        kCredentialMs);
    co_return Answered(reply, "i");
}

}  // namespace breezel
