#include "qt/LoopbackReplyHandler.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include "qt/OAuthRequests.h"

namespace breezel {

namespace {

// A browser's request head is well under this; more is not one.
constexpr qsizetype kMaxHeadBytes = 16 * 1024;
// A connection that sends no whole request in this time is dropped.
constexpr int kRequestLimitMs = 10'000;
constexpr qint64 kMaxTokenAnswerBytes = 256 * 1024;
// Tries at a port free on both loopback addresses.
constexpr int kPortTries = 8;

QByteArray ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        default:
            return "Bad Request";
    }
}

}  // namespace

LoopbackReplyHandler::LoopbackReplyHandler(QObject* parent) : QOAuthOobReplyHandler(parent) {
    for (QTcpServer* server : {&server_, &server6_}) {
        QObject::connect(server, &QTcpServer::newConnection, this,
                         [this, server] { accept(*server); });
    }
}

LoopbackReplyHandler::~LoopbackReplyHandler() {
    // Half-read requests go with us; answered connections finish their page on their own.
    for (QTcpSocket* socket : std::as_const(reading_)) {
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        socket->deleteLater();
    }
}

bool LoopbackReplyHandler::listen(bool localhost) {
    localhost_ = localhost;
    for (int tries = 0; tries < kPortTries; ++tries) {
        if (!server_.listen(QHostAddress::LocalHost, 0)) {
            return false;
        }
        if (!localhost || server6_.listen(QHostAddress::LocalHostIPv6, server_.serverPort())) {
            return true;
        }
        // Without IPv6, localhost is 127.0.0.1 alone; a port taken on ::1 is tried again.
        if (server6_.serverError() != QAbstractSocket::AddressInUseError) {
            return true;
        }
        server_.close();
    }
    return server_.listen(QHostAddress::LocalHost, 0);
}

QString LoopbackReplyHandler::listenError() const {
    return server_.errorString();
}

quint16 LoopbackReplyHandler::port() const {
    return server_.isListening() ? server_.serverPort() : 0;
}

void LoopbackReplyHandler::close() {
    server_.close();
    server6_.close();
}

QString LoopbackReplyHandler::callback() const {
    return (localhost_ ? QStringLiteral("http://localhost:%1/")
                       : QStringLiteral("http://127.0.0.1:%1/"))
        .arg(server_.serverPort());
}

void LoopbackReplyHandler::setTokenAnswerHandler(std::function<void(TokenGrant)> handler) {
    tokenAnswer_ = std::move(handler);
}

void LoopbackReplyHandler::setExpectedState(const QString& state) {
    expectedState_ = state;
}

void LoopbackReplyHandler::setCallbackText(const QString& text) {
    callbackText_ = text;
}

void LoopbackReplyHandler::accept(QTcpServer& server) {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        // Not our child: a page being written outlives the sign-in that answered it.
        socket->setParent(nullptr);
        reading_.insert(socket);
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, this,
                         [this, socket] { reading_.remove(socket); });
        // The socket's own timer, heard only while we are here.
        auto* limit = new QTimer(socket);
        limit->setSingleShot(true);
        QObject::connect(limit, &QTimer::timeout, this, [this, socket] {
            if (reading_.remove(socket)) {
                socket->abort();
            }
        });
        limit->start(kRequestLimitMs);
    }
}

void LoopbackReplyHandler::read(QTcpSocket* socket) {
    if (!reading_.contains(socket)) {
        socket->readAll();  // after the answer: nothing more is read
        return;
    }
    // The head is peeked until whole; the bytes stay in the socket until then.
    const QByteArray head = socket->peek(kMaxHeadBytes + 4);
    qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        end = head.indexOf("\n\n");
    }
    if (end < 0) {
        if (head.size() > kMaxHeadBytes) {
            reading_.remove(socket);
            socket->readAll();  // bytes left unread would turn the close into a reset
            respond(socket, 400, QString());
        }
        return;
    }
    reading_.remove(socket);
    socket->readAll();
    answer(socket, head.left(end));
}

void LoopbackReplyHandler::answer(QTcpSocket* socket, const QByteArray& head) {
    const qsizetype lineEnd = head.indexOf('\n');
    const QByteArray requestLine = (lineEnd < 0 ? head : head.first(lineEnd)).trimmed();
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.") || !parts[1].startsWith('/')) {
        respond(socket, 400, QString());
        return;
    }
    if (parts[0] != "GET") {
        respond(socket, 405, QString());
        return;
    }
    const QByteArray& target = parts[1];
    const qsizetype question = target.indexOf('?');
    const QByteArray path = question < 0 ? target : target.first(question);
    if (path != "/") {
        respond(socket, 404, QString());
        return;
    }
    QByteArray form = question < 0 ? QByteArray() : target.mid(question + 1);
    // Form encoding: a '+' is a blank ("The+user+said+no"), a true plus comes as %2B.
    form.replace('+', "%20");
    const QUrlQuery query(QString::fromUtf8(form));
    const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    const bool hasCode = query.hasQueryItem(QStringLiteral("code"));
    const bool hasError = query.hasQueryItem(QStringLiteral("error"));
    // Without this sign-in's state it is not the provider's answer to us (RFC 6749 10.12).
    if (expectedState_.isEmpty() || state != expectedState_ || (!hasCode && !hasError)) {
        respond(socket, 400, QString());
        return;
    }
    expectedState_.clear();
    respond(socket, 200, callbackText_);
    QVariantMap values;
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        values.insert(key, value);
    }
    Q_EMIT callbackReceived(values);
}

void LoopbackReplyHandler::respond(QTcpSocket* socket, int status, const QString& text) {
    const QByteArray html =
        "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
        "<title>Breezel</title></head><body><p>" +
        text.toHtmlEscaped().toUtf8() + "</p></body></html>";
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status);
    response += "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store";
    response += "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(html.size());
    response += "\r\n\r\n" + html;
    socket->write(response);
    socket->disconnectFromHost();
}

void LoopbackReplyHandler::networkReplyFinished(QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString transportError;
    if (reply->error() != QNetworkReply::NoError && status == 0) {
        transportError = reply->error() == QNetworkReply::OperationCanceledError
                             ? QStringLiteral("時間切れ")
                             : reply->errorString();
    }
    TokenGrant grant = ReadTokenAnswer(status, reply->read(kMaxTokenAnswerBytes), transportError);
    if (tokenAnswer_) {
        tokenAnswer_(std::move(grant));
    }
}

}  // namespace breezel
