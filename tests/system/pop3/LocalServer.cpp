#include "LocalServer.h"

#include <QSslSocket>

#include "RunTask.h"

namespace breezel {

LocalServer::LocalServer(QSslConfiguration tls) : tls_(std::move(tls)) {
    listen(QHostAddress::LocalHost, 0);
}

LocalServer::~LocalServer() {
    for (QSslSocket* client : clients_) {
        client->abort();
    }
}

QSslSocket* LocalServer::waitForClient() {
    if (!RunUntil([this] { return clients_.size() > taken_; })) {
        return nullptr;
    }
    return clients_[taken_++];
}

void LocalServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QSslSocket(this);
    socket->setSocketDescriptor(descriptor);
    socket->setSslConfiguration(tls_);
    clients_.append(socket);
}

}  // namespace breezel
