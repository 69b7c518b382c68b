#include "qt/QtTransportFactory.h"

#include <QSslSocket>

#include "qt/QtTransport.h"

namespace breezel {

QtTransportFactory::QtTransportFactory() = default;

QSslConfiguration& QtTransportFactory::tls() {
    if (!tls_) {
        tls_ = QSslConfiguration::defaultConfiguration();
        tls_->setPeerVerifyMode(QSslSocket::VerifyPeer);
    }
    return *tls_;
}

void QtTransportFactory::addCaCertificates(const QList<QSslCertificate>& certificates) {
    if (certificates.isEmpty()) {
        return;
    }
    // Naming any CA ends the lazy loading of the system's store, so name the system's too. Done
    // here once: reading the store takes a noticeable time.
    QList<QSslCertificate> cas = tls().caCertificates();
    if (cas.isEmpty()) {
        cas = QSslConfiguration::systemCaCertificates();
    }
    tls().setCaCertificates(cas + certificates);
}

bool QtTransportFactory::addCaCertificates(const QString& pemPath) {
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(pemPath, QSsl::Pem);
    addCaCertificates(certificates);
    return !certificates.isEmpty();
}

std::unique_ptr<net::Transport> QtTransportFactory::create() {
    return std::make_unique<QtTransport>(tls());
}

}  // namespace breezel
