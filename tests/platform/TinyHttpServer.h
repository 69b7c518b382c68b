#pragma once

// Stand-ins for what lies outside a sign-in, on real loopback sockets: a provider's HTTP
// endpoints (TinyHttpServer) and a browser's raw request (RawExchange).

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <vector>

namespace breezel {

/// One request the server heard.
struct HttpRequest {
    QByteArray method;
    QByteArray target;
    QByteArray body;
};

/// An answer: status and JSON body.
struct HttpResponse {
    int status = 200;
    QByteArray json;
};

/// Answers each HTTP/1.1 request on 127.0.0.1 with what the handler says, then closes.
class TinyHttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    explicit TinyHttpServer(Handler handler) : handler_(std::move(handler)) {
        server_.listen(QHostAddress::LocalHost, 0);
        port_ = server_.serverPort();
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket, buffer] { read(socket, *buffer); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    /// "http://127.0.0.1:<port>"
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }

    /// Gone: nobody listens on its port any more.
    void stop() { server_.close(); }

    std::vector<HttpRequest> requests;

private:
    void read(QTcpSocket* socket, QByteArray& buffer) {
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:")) {
                length = line.mid(15).trimmed().toLongLong();
            }
        }
        if (buffer.size() < end + 4 + length) {
            return;
        }
        const QList<QByteArray> words = head.split('\r').value(0).split(' ');
        requests.push_back({words.value(0), words.value(1), buffer.mid(end + 4, length)});
        const HttpResponse response = handler_(requests.back());
        socket->write("HTTP/1.1 " + QByteArray::number(response.status) +
                      " X\r\nContent-Type: application/json\r\nConnection: close\r\n"
                      "Content-Length: " +
                      QByteArray::number(response.json.size()) + "\r\n\r\n" + response.json);
        socket->disconnectFromHost();
    }

    Handler handler_;
    QTcpServer server_;
    quint16 port_ = 0;
};

/// Sends raw bytes to 127.0.0.1:port (or another address) and gathers the answer until the
/// other side closes.
struct RawExchange {
    RawExchange(quint16 port, QByteArray request,
                const QHostAddress& address = QHostAddress(QHostAddress::LocalHost)) {
        QObject::connect(&socket, &QTcpSocket::connected, &socket,
                         [this, request] { socket.write(request); });
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                         [this] { answer += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, &socket, [this] { over = true; });
        QObject::connect(&socket, &QTcpSocket::errorOccurred, &socket,
                         [this](QAbstractSocket::SocketError error) {
                             refused = error == QAbstractSocket::ConnectionRefusedError;
                             over = true;
                         });
        socket.connectToHost(address, port);
    }

    QTcpSocket socket;
    QByteArray answer;
    bool over = false;
    /// Nobody listened on the port.
    bool refused = false;
};

}  // namespace breezel
