#include "LocalServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSslSocket>
#include <QThread>

namespace breezel {

bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::usleep(200);
    }
    return done();
}

LocalServer::LocalServer(QSslConfiguration tls, bool tlsFromStart)
    : tls_(std::move(tls)), tlsFromStart_(tlsFromStart) {
    listen(QHostAddress::LocalHost, 0);
}

LocalServer::~LocalServer() {
    for (QSslSocket* client : clients_) {
        client->abort();
    }
}

QSslSocket* LocalServer::waitForClient() {
    if (!ProcessEventsUntil([this] { return clients_.size() > taken_; })) {
        return nullptr;
    }
    return clients_[taken_++];
}

void LocalServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QSslSocket(this);
    socket->setSocketDescriptor(descriptor);
    socket->setSslConfiguration(tls_);
    if (tlsFromStart_) {
        socket->startServerEncryption();
    }
    clients_.append(socket);
}

}  // namespace breezel
