#include "platform/qt/QtPop3Transport.h"

#include <QEventLoop>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <utility>

namespace breezel {

namespace {

using pop3::TransportCode;
using pop3::TransportStatus;

// Handed-out bytes are dropped from the front of the buffer only now and then, so streaming a
// large message does not move the rest of the buffer for every line.
constexpr std::size_t kCompactAfter = 64 * 1024;

TransportCode CodeOf(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::HostNotFoundError:
            return TransportCode::HostNotFound;
        case QAbstractSocket::ConnectionRefusedError:
            return TransportCode::Refused;
        case QAbstractSocket::SocketTimeoutError:
            return TransportCode::Timeout;
        case QAbstractSocket::RemoteHostClosedError:
            return TransportCode::Closed;
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            return TransportCode::Tls;
        default:
            return TransportCode::Other;
    }
}

TransportStatus Interrupted() {
    return {TransportCode::Other, "the program is quitting"};
}

std::string Seconds(std::chrono::milliseconds timeout) {
    const auto tenths = (timeout.count() + 50) / 100;
    return std::to_string(tenths / 10) +
           (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " s";
}

}  // namespace

QtPop3Transport::QtPop3Transport(const QSslConfiguration& tls) : tls_(tls) {}

QtPop3Transport::~QtPop3Transport() {
    close();
}

TransportStatus QtPop3Transport::connect(const std::string& host, std::uint16_t port, bool tls,
                                         std::chrono::milliseconds timeout) {
    close();
    error_.reset();
    sslErrors_.clear();
    buffer_.clear();
    consumed_ = scanned_ = 0;

    socket_ = std::make_unique<QSslSocket>();
    QSslSocket* socket = socket_.get();
    socket->setSslConfiguration(tls_);
    socket->setPeerVerifyMode(QSslSocket::VerifyPeer);
    auto wake = [this] {
        if (loop_ != nullptr) {
            woken_ = true;
            loop_->quit();
        }
    };
    QObject::connect(socket, &QAbstractSocket::connected, socket, [socket, wake] {
        // Commands are small and answered at once: never hold them back for coalescing.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        wake();
    });
    QObject::connect(socket, &QSslSocket::encrypted, socket, wake);
    QObject::connect(socket, &QIODevice::readyRead, socket, wake);
    QObject::connect(socket, &QAbstractSocket::disconnected, socket, wake);
    QObject::connect(socket, &QAbstractSocket::errorOccurred, socket,
                     [this, wake](QAbstractSocket::SocketError error) {
                         error_ = error;
                         wake();
                     });
    QObject::connect(socket, &QSslSocket::sslErrors, socket,
                     [this](const QList<QSslError>& errors) { sslErrors_ = errors; });

    const QString name = QString::fromStdString(host);
    if (tls) {
        socket->connectToHostEncrypted(name, port, name);
    } else {
        socket->connectToHost(name, port);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const bool done =
            tls ? socket->isEncrypted() : socket->state() == QAbstractSocket::ConnectedState;
        if (done) {
            return {};
        }
        if (error_ || socket->state() == QAbstractSocket::UnconnectedState) {
            // A peer that drops the connection after accepting it did so in the handshake.
            const bool handshaking = tls && error_ == QAbstractSocket::RemoteHostClosedError;
            TransportStatus status = socketFailure(TransportCode::Closed, handshaking);
            close();
            return status;
        }
        const Wake outcome = waitUntil(deadline);
        if (outcome != Wake::Event) {
            close();
            if (outcome == Wake::Interrupted) {
                return Interrupted();
            }
            return {TransportCode::Timeout, "no connection to " + host + ":" +
                                                std::to_string(port) + " within " +
                                                Seconds(timeout)};
        }
    }
}

TransportStatus QtPop3Transport::write(std::string_view bytes) {
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
        return socketFailure(TransportCode::Closed, false);
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (socket_->write(bytes.data(), size) != size) {
        return socketFailure(TransportCode::Other, false);
    }
    // Send now rather than at the next wait: a pipelining caller reads answers that are already
    // buffered while its next requests should be on their way.
    socket_->flush();
    return {};
}

TransportStatus QtPop3Transport::readLine(std::string& line, std::size_t maxBytes,
                                          std::chrono::milliseconds timeout) {
    line.clear();
    if (!socket_) {
        return socketFailure(TransportCode::Closed, false);
    }
    for (;;) {
        const std::size_t limit = std::min(buffer_.size(), consumed_ + maxBytes);
        const void* lf = scanned_ < limit
                             ? std::memchr(buffer_.data() + scanned_, '\n', limit - scanned_)
                             : nullptr;
        if (lf != nullptr || buffer_.size() - consumed_ >= maxBytes) {
            const std::size_t end =
                lf != nullptr ? static_cast<const char*>(lf) - buffer_.data() + 1 : limit;
            line.assign(buffer_, consumed_, end - consumed_);
            consumed_ = scanned_ = end;
            if (consumed_ == buffer_.size()) {
                buffer_.clear();
                consumed_ = scanned_ = 0;
            } else if (consumed_ >= kCompactAfter) {
                buffer_.erase(0, consumed_);
                consumed_ = scanned_ = 0;
            }
            if (lf == nullptr) {
                return {TransportCode::LineTooLong,
                        "no line end within " + std::to_string(maxBytes) + " bytes"};
            }
            return {};
        }
        scanned_ = limit;
        if (takeArrivedBytes()) {
            continue;
        }
        if (error_ || socket_->state() != QAbstractSocket::ConnectedState) {
            return socketFailure(TransportCode::Closed, false);
        }
        const Wake outcome = waitForEvent(timeout);
        if (outcome == Wake::Interrupted) {
            return Interrupted();
        }
        if (outcome == Wake::TimedOut && !takeArrivedBytes()) {
            return {TransportCode::Timeout, "no answer from the server within " + Seconds(timeout)};
        }
    }
}

TransportStatus QtPop3Transport::startTls(const std::string& host,
                                          std::chrono::milliseconds timeout) {
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
        return socketFailure(TransportCode::Closed, false);
    }
    // Anything that came before the handshake was not protected by it: never read it later.
    socket_->readAll();
    buffer_.clear();
    consumed_ = scanned_ = 0;

    socket_->setPeerVerifyName(QString::fromStdString(host));
    socket_->startClientEncryption();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!socket_->isEncrypted()) {
        if (error_ || socket_->state() != QAbstractSocket::ConnectedState) {
            TransportStatus status = socketFailure(TransportCode::Tls, true);
            close();
            return status;
        }
        const Wake outcome = waitUntil(deadline);
        if (outcome != Wake::Event) {
            close();
            if (outcome == Wake::Interrupted) {
                return Interrupted();
            }
            return {TransportCode::Timeout,
                    "TLS handshake not completed within " + Seconds(timeout)};
        }
    }
    return {};
}

void QtPop3Transport::close() {
    if (!socket_) {
        return;
    }
    // What was written is already with the system, which still delivers it after the close.
    socket_->flush();
    socket_->abort();
    socket_.reset();
}

QtPop3Transport::Wake QtPop3Transport::waitUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? waitForEvent(left) : Wake::TimedOut;
}

QtPop3Transport::Wake QtPop3Transport::waitForEvent(std::chrono::milliseconds timeout) {
    QEventLoop loop;
    QTimer timer;
    bool expired = false;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    timer.start(timeout);
    QEventLoop* outer = std::exchange(loop_, &loop);
    woken_ = false;
    loop.exec();
    loop_ = outer;
    if (woken_) {
        return Wake::Event;
    }
    return expired ? Wake::TimedOut : Wake::Interrupted;
}

bool QtPop3Transport::takeArrivedBytes() {
    const qint64 available = socket_->bytesAvailable();
    if (available <= 0) {
        return false;
    }
    const std::size_t old = buffer_.size();
    buffer_.resize(old + static_cast<std::size_t>(available));
    const qint64 got = socket_->read(buffer_.data() + old, available);
    buffer_.resize(old + static_cast<std::size_t>(std::max<qint64>(got, 0)));
    return got > 0;
}

TransportStatus QtPop3Transport::socketFailure(TransportCode fallback, bool handshaking) const {
    TransportStatus status{fallback, "connection closed"};
    if (socket_ && error_) {
        status = {CodeOf(*error_), socket_->errorString().toStdString()};
    }
    if (!sslErrors_.isEmpty()) {
        // The certificate's own reasons tell the user more than "handshake failed".
        std::string reasons;
        for (const QSslError& error : sslErrors_) {
            reasons += (reasons.empty() ? "" : "; ") + error.errorString().toStdString();
        }
        return {TransportCode::Tls, reasons};
    }
    if (handshaking) {
        status.code = TransportCode::Tls;
    }
    return status;
}

}  // namespace breezel
