#include "qt/QtTransport.h"

#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <utility>

#include "net/Pace.h"

namespace breezel {

namespace {

using net::TransportCode;
using net::TransportStatus;

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

}  // namespace

/// Suspends the awaiting task until the socket reports something or the deadline passes. The
/// wait and the transport forget each other when either goes first, so a destroyed task is
/// never resumed and a destroyed transport resumes nothing.
class QtTransport::Wait {
public:
    Wait(QtTransport& transport, Clock::time_point deadline)
        : transport_(&transport), deadline_(deadline) {}
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;
    ~Wait() {
        if (transport_ != nullptr && transport_->waiting_ == this) {
            transport_->forgetWaiting();
        }
    }

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) {
        handle_ = handle;
        transport_->waiting_ = this;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
        transport_->timer_->start(std::max(left, std::chrono::milliseconds(0)));
    }
    void await_resume() const noexcept {}

private:
    friend class QtTransport;
    QtTransport* transport_;
    Clock::time_point deadline_;
    std::coroutine_handle<> handle_;
};

QtTransport::QtTransport(const QSslConfiguration& tls) : tls_(tls) {}

QtTransport::~QtTransport() {
    if (waiting_ != nullptr) {
        waiting_->transport_ = nullptr;
        waiting_ = nullptr;
    }
    close();
}

Task<TransportStatus> QtTransport::connect(std::string host, std::uint16_t port, bool tls,
                                           std::chrono::milliseconds timeout, net::Pace& pace) {
    close();
    error_.reset();
    sslErrors_.clear();
    buffer_.clear();
    consumed_ = scanned_ = 0;
    const auto opened = Clock::now();
    const auto deadline = opened + timeout;
    pace.start(opened);

    socket_ = new QSslSocket;
    QSslSocket* socket = socket_;
    timer_ = new QTimer(socket);
    timer_->setSingleShot(true);
    // A coarse timer may fire early, which would only cost another round of waiting.
    timer_->setTimerType(Qt::PreciseTimer);
    socket->setSslConfiguration(tls_);
    socket->setPeerVerifyMode(QSslSocket::VerifyPeer);
    auto wake = [this] { resumeWaiting(); };
    QObject::connect(timer_, &QTimer::timeout, socket, wake);
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
    for (;;) {
        const bool done =
            tls ? socket_->isEncrypted() : socket_->state() == QAbstractSocket::ConnectedState;
        if (done) {
            co_return TransportStatus{};
        }
        if (error_ || socket_->state() == QAbstractSocket::UnconnectedState) {
            // A peer that drops the connection after accepting it did so in the handshake.
            const bool handshaking = tls && error_ == QAbstractSocket::RemoteHostClosedError;
            TransportStatus status = socketFailure(TransportCode::Closed, handshaking);
            close();
            co_return status;
        }
        if (Clock::now() >= deadline) {
            close();
            co_return TransportStatus{TransportCode::Timeout,
                                      "no connection to " + host + ":" + std::to_string(port) +
                                          " within " + net::Pace::durationText(timeout)};
        }
        co_await Wait(*this, deadline);
    }
}

TransportStatus QtTransport::write(std::string_view bytes) {
    if (socket_ == nullptr || socket_->state() != QAbstractSocket::ConnectedState) {
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

Task<TransportStatus> QtTransport::readLine(std::string& line, std::size_t maxBytes,
                                            std::chrono::milliseconds timeout, net::Pace& pace) {
    line.clear();
    if (socket_ == nullptr) {
        co_return socketFailure(TransportCode::Closed, false);
    }
    // The clock is read only once the buffer holds no line: a buffered line costs no more.
    std::optional<Clock::time_point> since;
    for (;;) {
        if (auto status = cutLine(line, maxBytes)) {
            co_return *status;
        }
        const auto now = Clock::now();
        if (!since) {
            since = now;
        }
        const std::size_t arrived = takeArrivedBytes();
        if (arrived > 0) {
            pace.arrived(arrived, now);
            since = now;
        } else if (error_ || socket_->state() != QAbstractSocket::ConnectedState) {
            co_return socketFailure(TransportCode::Closed, false);
        }
        // Checked after arrivals too: a server streaming without pause still meets the
        // session's end.
        const auto deadline = pace.deadline(*since, timeout);
        if (now >= deadline) {
            co_return pace.expired(*since, timeout);
        }
        if (arrived == 0) {
            co_await Wait(*this, deadline);
        }
    }
}

Task<TransportStatus> QtTransport::startTls(std::string host, std::chrono::milliseconds timeout) {
    if (socket_ == nullptr || socket_->state() != QAbstractSocket::ConnectedState) {
        co_return socketFailure(TransportCode::Closed, false);
    }
    // Anything that came before the handshake was not protected by it: never read it later.
    socket_->readAll();
    buffer_.clear();
    consumed_ = scanned_ = 0;

    socket_->setPeerVerifyName(QString::fromStdString(host));
    socket_->startClientEncryption();
    const auto deadline = Clock::now() + timeout;
    while (!socket_->isEncrypted()) {
        if (error_ || socket_->state() != QAbstractSocket::ConnectedState) {
            TransportStatus status = socketFailure(TransportCode::Tls, true);
            close();
            co_return status;
        }
        if (Clock::now() >= deadline) {
            close();
            co_return TransportStatus{
                TransportCode::Timeout,
                "TLS handshake not completed within " + net::Pace::durationText(timeout)};
        }
        co_await Wait(*this, deadline);
    }
    co_return TransportStatus{};
}

void QtTransport::close() {
    if (socket_ == nullptr) {
        return;
    }
    QSslSocket* socket = std::exchange(socket_, nullptr);
    QTimer* timer = std::exchange(timer_, nullptr);
    // The socket may be emitting the signal whose task closes it: silence it, and let the event
    // loop delete it (the timer with it) once that signal is over.
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    QObject::disconnect(timer, nullptr, nullptr, nullptr);
    timer->stop();
    // What was written is already with the system, which still delivers it after the close.
    socket->flush();
    socket->abort();
    socket->deleteLater();
}

void QtTransport::resumeWaiting() {
    if (waiting_ == nullptr) {
        return;
    }
    Wait* wait = std::exchange(waiting_, nullptr);
    timer_->stop();
    wait->transport_ = nullptr;
    wait->handle_.resume();
}

void QtTransport::forgetWaiting() {
    waiting_ = nullptr;
    if (timer_ != nullptr) {
        timer_->stop();
    }
}

std::optional<TransportStatus> QtTransport::cutLine(std::string& line, std::size_t maxBytes) {
    const std::size_t limit = std::min(buffer_.size(), consumed_ + maxBytes);
    const void* lf =
        scanned_ < limit ? std::memchr(buffer_.data() + scanned_, '\n', limit - scanned_) : nullptr;
    if (lf == nullptr && buffer_.size() - consumed_ < maxBytes) {
        scanned_ = limit;
        return std::nullopt;
    }
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
        return TransportStatus{TransportCode::LineTooLong,
                               "no line end within " + std::to_string(maxBytes) + " bytes"};
    }
    return TransportStatus{};
}

std::size_t QtTransport::takeArrivedBytes() {
    const qint64 available = socket_->bytesAvailable();
    if (available <= 0) {
        return 0;
    }
    const std::size_t old = buffer_.size();
    buffer_.resize(old + static_cast<std::size_t>(available));
    const qint64 got = socket_->read(buffer_.data() + old, available);
    buffer_.resize(old + static_cast<std::size_t>(std::max<qint64>(got, 0)));
    return buffer_.size() - old;
}

TransportStatus QtTransport::socketFailure(TransportCode fallback, bool handshaking) const {
    TransportStatus status{fallback, "connection closed"};
    if (socket_ != nullptr && error_) {
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
