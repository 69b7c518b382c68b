#pragma once

#include <QList>
#include <QSslConfiguration>
#include <QTcpServer>

class QSslSocket;

namespace breezel {

/// A server on 127.0.0.1 in the test's own thread whose connections the test drives: it answers
/// while the transport under test waits in its event loop. Every connection is a QSslSocket, so
/// the test can start TLS on it at any moment with the configured certificate.
class LocalServer : public QTcpServer {
public:
    explicit LocalServer(QSslConfiguration tls = {});
    ~LocalServer() override;

    /// The server's end of the next connection not yet taken, once a client has made it.
    QSslSocket* waitForClient();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QSslConfiguration tls_;
    QList<QSslSocket*> clients_;
    qsizetype taken_ = 0;
};

}  // namespace breezel
