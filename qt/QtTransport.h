#pragma once

#include <QAbstractSocket>
#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <chrono>
#include <coroutine>
#include <optional>
#include <string>

#include "net/Transport.h"

class QSslSocket;
class QTimer;

namespace breezel {

/// The mail library's byte stream on QSslSocket. A wait suspends the calling task and returns
/// to the event loop; the socket's signals, or a timer at the deadline, resume it.
class QtTransport : public net::Transport {
public:
    /// tls: the trust store and peer verification used for every handshake.
    explicit QtTransport(const QSslConfiguration& tls);
    ~QtTransport() override;

    Task<net::TransportStatus> connect(std::string host, std::uint16_t port, bool tls,
                                       std::chrono::milliseconds timeout, net::Pace& pace) override;
    net::TransportStatus write(std::string_view bytes) override;
    Task<net::TransportStatus> readLine(std::string& line, std::size_t maxBytes,
                                        std::chrono::milliseconds timeout,
                                        net::Pace& pace) override;
    Task<net::TransportStatus> startTls(std::string host,
                                        std::chrono::milliseconds timeout) override;
    void close() override;

private:
    using Clock = std::chrono::steady_clock;
    class Wait;

    /// Resumes the task in a wait, if any. The task may destroy this transport: nothing here
    /// may be touched once it has run.
    void resumeWaiting();
    /// Drops the wait in progress without resuming it.
    void forgetWaiting();
    /// Cuts the next line (or a too long one) out of the buffer; nothing when none is whole.
    std::optional<net::TransportStatus> cutLine(std::string& line, std::size_t maxBytes);
    /// Moves what the socket has received into buffer_; how many bytes came.
    std::size_t takeArrivedBytes();
    /// The failure the socket reported, or `fallback` when it reported none; a failure in a
    /// handshake is a TLS failure.
    net::TransportStatus socketFailure(net::TransportCode fallback, bool handshaking) const;

    QSslConfiguration tls_;
    // Ours until close() hands it to deleteLater: it may be in the middle of emitting a signal.
    QSslSocket* socket_ = nullptr;
    // Ends the wait in progress at its deadline; a child of socket_.
    QTimer* timer_ = nullptr;
    // The wait in progress, which the socket's signals or the timer end.
    Wait* waiting_ = nullptr;
    std::optional<QAbstractSocket::SocketError> error_;
    QList<QSslError> sslErrors_;
    // Received bytes not yet handed out as lines; buffer_[consumed_] is the next byte to give.
    std::string buffer_;
    std::size_t consumed_ = 0;
    // Where the search for the next line end resumes, so a long line is scanned only once.
    std::size_t scanned_ = 0;
};

}  // namespace breezel
