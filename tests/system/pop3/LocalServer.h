#pragma once

#include <QList>
#include <QSslConfiguration>
#include <QTcpServer>
#include <chrono>
#include <functional>

class QSslSocket;

namespace breezel {

/// Runs the event loop until `done` holds or the time is up; the result of `done` at the end.
bool ProcessEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));

/// A server on 127.0.0.1 in the test's own thread whose connections the test drives: it answers
/// while the transport under test waits in its event loop. Every connection is a QSslSocket, so
/// the test can start TLS on it at any moment with the configured certificate.
class LocalServer : public QTcpServer {
public:
    /// tlsFromStart: every connection begins with the server's side of a TLS handshake.
    explicit LocalServer(QSslConfiguration tls = {}, bool tlsFromStart = false);
    ~LocalServer() override;

    /// The server's end of the next connection not yet taken, once a client has made it.
    QSslSocket* waitForClient();
    /// The server's ends of all connections so far.
    const QList<QSslSocket*>& clients() const { return clients_; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QSslConfiguration tls_;
    bool tlsFromStart_;
    QList<QSslSocket*> clients_;
    qsizetype taken_ = 0;
};

}  // namespace breezel
