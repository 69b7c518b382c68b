#include "qt/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace breezel {

namespace {
constexpr int kConnectMs = 1000;
constexpr int kLockMs = 5000;
const QByteArray kActivate = "activate\n";
}  // namespace

SingleInstance::SingleInstance(const QString& programFolder) {
    const QByteArray key =
        QCryptographicHash::hash(programFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    name_ = QStringLiteral("breezel-%1-%2").arg(::getuid()).arg(QString::fromLatin1(key));
    QObject::connect(&server_, &QLocalServer::newConnection, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (socket->readAll().contains(kActivate.trimmed()) && activate_) {
                    activate_();
                }
            });
        }
    });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::handOverToRunning() {
    // Starts at the same moment must not both decide they are the first.
    lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(name_ + QStringLiteral(".lock")));
    lock_->tryLock(kLockMs);

    QLocalSocket running;
    running.connectToServer(name_);
    if (running.waitForConnected(kConnectMs)) {
        running.write(kActivate);
        running.waitForBytesWritten(kConnectMs);
        running.disconnectFromServer();
        lock_.reset();
        return true;
    }
    // Nobody answers: a socket left by a crashed instance may still lie there.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(name_);
    lock_.reset();
    return false;
}

}  // namespace breezel
