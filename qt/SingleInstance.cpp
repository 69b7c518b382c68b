#include "qt/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <csignal>
#include <cstring>

namespace breezel {

namespace {
constexpr int kConnectMs = 1000;
constexpr int kLockMs = 5000;
const QByteArray kActivate = "activate\n";

// What to remove when a signal ends the process; written before the handler is set.
char gSocketPath[256];
char gOwnFolder[256];

extern "C" void RemoveSocketAndEnd(int signal) {
    ::unlink(gSocketPath);
    if (gOwnFolder[0] != '\0') {
        ::rmdir(gOwnFolder);  // only when empty
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool CopyPath(const QString& path, char (&into)[256]) {
    const QByteArray native = QFile::encodeName(path);
    if (static_cast<std::size_t>(native.size()) >= sizeof into) {
        return false;
    }
    std::memcpy(into, native.constData(), native.size() + 1);
    return true;
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
    // The session's runtime folder; without one, a private folder of our own in the user's
    // cache, never in the shared temporary folder: a killed run cannot clean up, and what it
    // leaves must not pile up where every user's files go.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    folder_ = runtime.isEmpty() ? QString() : PrivateFolder(runtime);
    if (folder_.isEmpty()) {
        QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
        if (cache.isEmpty()) {
            cache = QDir::home().filePath(QStringLiteral(".cache"));
        }
        QDir().mkpath(cache);
        folder_ = PrivateFolder(QDir(cache).filePath(QStringLiteral("breezel")));
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
    if (server_.listen(name_) && CopyPath(server_.fullServerName(), gSocketPath) &&
        (!ownFolder_ || CopyPath(folder_, gOwnFolder))) {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            std::signal(signal, RemoveSocketAndEnd);
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
