#pragma once

// Hears the provider's answer that the browser brings back to http://127.0.0.1:<port>/ (RFC 8252's
// loopback redirect), and reads the token endpoint's answers for QOAuth2AuthorizationCodeFlow.
//
// Our own instead of Qt's QOAuthHttpServerReplyHandler, which in Qt 6.4 takes a request for any
// path as the answer, answers its page to every request and writes whole request URLs, codes
// included, into warnings. Here only "GET /?…" carrying the state of this sign-in is the answer;
// every other request gets 400 or 404 and changes nothing, and the state is good for one answer.

#include <QByteArray>
#include <QOAuthOobReplyHandler>
#include <QSet>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace breezel {

class LoopbackReplyHandler : public QOAuthOobReplyHandler {
    Q_OBJECT

public:
    explicit LoopbackReplyHandler(QObject* parent = nullptr);
    ~LoopbackReplyHandler() override;

    /// Listens on 127.0.0.1, on a port the system chooses; false when it cannot.
    bool listen();
    /// Why listen() failed.
    QString listenError() const;
    /// The port listened on; 0 when not listening.
    quint16 port() const;
    /// Stops listening: the port is free again.
    void close();

    /// http://127.0.0.1:<port>/ — the redirect URI.
    QString callback() const override;

    /// The state the answer must carry; empty takes none.
    void setExpectedState(const QString& state);
    /// The text of the page the browser shows after the answer.
    void setCallbackText(const QString& text);

    /// A token endpoint's answer: tokensReceived with its JSON, or tokenRequestFailed.
    void networkReplyFinished(QNetworkReply* reply) override;

Q_SIGNALS:
    /// The token endpoint gave no token; why, for the user's text (no secret in it).
    void tokenRequestFailed(const QString& why);

private:
    void accept();
    void read(QTcpSocket* socket);
    /// Answers one whole request head; whether it was the provider's answer.
    void answer(QTcpSocket* socket, const QByteArray& head);
    void respond(QTcpSocket* socket, int status, const QString& text);

    QTcpServer server_;
    QString expectedState_;
    QString callbackText_;
    // Connections still being read; answered ones close on their own, even after we are gone.
    QSet<QTcpSocket*> reading_;
};

}  // namespace breezel
