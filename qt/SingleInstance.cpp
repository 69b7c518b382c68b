#include "qt/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <csignal>
#include <cstring>

namespace breezel {

namespace {
constexpr int kConnectMs = 1000;
constexpr int kLockMs = 5000;
const QByteArray kActivate = "activate\n";

// The socket to remove when a signal ends the process; written before the handler is set.
char gSocketPath[256];

extern "C" void RemoveSocketAndEnd(int signal) {
    ::unlink(gSocketPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A folder only this user can enter, or an empty string when the one found is not ours.
QString PrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 0077) != 0) {
        return {};
    }
    return path;
}
}  // namespace

SingleInstance::SingleInstance(const QString& programFolder) {
    const QByteArray key =
        QCryptographicHash::hash(programFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    // Qt checks the runtime folder's owner and mode, and makes a private one when there is none.
    folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder_.isEmpty()) {
        folder_ =
            PrivateFolder(QDir::temp().filePath(QStringLiteral("breezel-%1").arg(::getuid())));
        ownFolder_ = !folder_.isEmpty();
    }
    if (!folder_.isEmpty()) {
        name_ = QDir(folder_).filePath(QStringLiteral("breezel-") + QString::fromLatin1(key));
    }
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

SingleInstance::~SingleInstance() {
    release();
}

bool SingleInstance::handOverToRunning() {
    if (name_.isEmpty()) {
        return false;  // nowhere private to meet: run on alone
    }
    // Starts at the same moment must not both decide they are the first.
    lock_ = std::make_unique<QLockFile>(name_ + QStringLiteral(".lock"));
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
    // Nobody answers: the socket of a killed instance may still lie there; take its place.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(name_)) {
        const QByteArray path = QFile::encodeName(server_.fullServerName());
        if (static_cast<std::size_t>(path.size()) < sizeof gSocketPath) {
            std::memcpy(gSocketPath, path.constData(), path.size() + 1);
            for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
                std::signal(signal, RemoveSocketAndEnd);
            }
        }
    }
    lock_.reset();
    return false;
}

void SingleInstance::release() {
    if (server_.isListening()) {
        server_.close();  // removes the socket file
        QFile::remove(name_);
    }
    if (ownFolder_) {
        QDir().rmdir(folder_);  // only when empty: another folder's instance may still run
    }
}

}  // namespace breezel
