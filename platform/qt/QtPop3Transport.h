#pragma once

#include <QAbstractSocket>
#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/pop3/Pop3Transport.h"

class QEventLoop;
class QSslSocket;

namespace breezel {

/// The mail library's byte stream on QSslSocket. Every wait runs a nested event loop bounded by
/// a timer, so the user interface keeps running while the library waits for the server.
class QtPop3Transport : public pop3::Transport {
public:
    /// tls: the trust store and peer verification used for every handshake.
    explicit QtPop3Transport(const QSslConfiguration& tls);
    ~QtPop3Transport() override;

    pop3::TransportStatus connect(const std::string& host, std::uint16_t port, bool tls,
                                  std::chrono::milliseconds timeout) override;
    pop3::TransportStatus write(std::string_view bytes) override;
    pop3::TransportStatus readLine(std::string& line, std::size_t maxBytes,
                                   std::chrono::milliseconds timeout) override;
    pop3::TransportStatus startTls(const std::string& host,
                                   std::chrono::milliseconds timeout) override;
    void close() override;

private:
    enum class Wake {
        Event,        ///< the socket reported something
        TimedOut,     ///< the time ran out
        Interrupted,  ///< the program is quitting: its event loops end at once
    };
    /// Runs the event loop until the socket reports something or the time is up.
    Wake waitForEvent(std::chrono::milliseconds timeout);
    /// Waits for the next event until the deadline; TimedOut at once when it has passed.
    Wake waitUntil(std::chrono::steady_clock::time_point deadline);
    /// Moves what the socket has received into buffer_; true when anything came.
    bool takeArrivedBytes();
    /// The failure the socket reported, or `fallback` when it reported none; a failure in a
    /// handshake is a TLS failure.
    pop3::TransportStatus socketFailure(pop3::TransportCode fallback, bool handshaking) const;

    QSslConfiguration tls_;
    std::unique_ptr<QSslSocket> socket_;
    // The wait in progress, which the socket's signals end.
    QEventLoop* loop_ = nullptr;
    bool woken_ = false;
    std::optional<QAbstractSocket::SocketError> error_;
    QList<QSslError> sslErrors_;
    // Received bytes not yet handed out as lines; buffer_[consumed_] is the next byte to give.
    std::string buffer_;
    std::size_t consumed_ = 0;
    // Where the search for the next line end resumes, so a long line is scanned only once.
    std::size_t scanned_ = 0;
};

}  // namespace breezel
