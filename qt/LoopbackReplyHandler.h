#pragma once

// Hears the provider's answer that the browser brings back to http://127.0.0.1:<port>/ (RFC 8252's
// loopback redirect) or, for a provider that offers only that address, http://localhost:<port>/
// on both 127.0.0.1 and ::1; and reads the token endpoint's answer for
// QOAuth2AuthorizationCodeFlow, handing its tokens straight to the sign-in.
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
#include <functional>

#include "qt/OAuthRequests.h"

class QTcpSocket;

namespace breezel {

class LoopbackReplyHandler : public QOAuthOobReplyHandler {
    Q_OBJECT

public:
    explicit LoopbackReplyHandler(QObject* parent = nullptr);
    ~LoopbackReplyHandler() override;

    /// Listens on 127.0.0.1, on a port the system chooses, and with localhost on ::1 too (on the
    /// same port, where the system has IPv6); false when it cannot.
    bool listen(bool localhost = false);
    /// Why listen() failed.
    QString listenError() const;
    /// The port listened on; 0 when not listening.
    quint16 port() const;
    /// Stops listening: the port is free again.
    void close();

    /// http://127.0.0.1:<port>/ or http://localhost:<port>/ — the redirect URI.
    QString callback() const override;

    /// The state the answer must carry; empty takes none.
    void setExpectedState(const QString& state);
    /// The text of the page the browser shows after the answer.
    void setCallbackText(const QString& text);

    /// Who hears the token endpoint's answer: its tokens, or why there are none. The flow's own
    /// tokensReceived is never emitted, so that no token is held in Qt's strings.
    void setTokenAnswerHandler(std::function<void(TokenGrant)> handler);

    /// A token endpoint's answer, for the token answer handler.
    void networkReplyFinished(QNetworkReply* reply) override;

private:
    void accept(QTcpServer& server);
    void read(QTcpSocket* socket);
    /// Answers one whole request head; whether it was the provider's answer.
    void answer(QTcpSocket* socket, const QByteArray& head);
    void respond(QTcpSocket* socket, int status, const QString& text);

    QTcpServer server_;
    QTcpServer server6_;
    bool localhost_ = false;
    std::function<void(TokenGrant)> tokenAnswer_;
    QString expectedState_;
    QString callbackText_;
    // Connections still being read; answered ones close on their own, even after we are gone.
    QSet<QTcpSocket*> reading_;
};

}  // namespace breezel
