#include "qt/QtPop3TransportFactory.h"

#include <QSslSocket>

#include "qt/QtPop3Transport.h"

namespace breezel {

QtPop3TransportFactory::QtPop3TransportFactory() = default;

QSslConfiguration& QtPop3TransportFactory::tls() {
    if (!tls_) {
        tls_ = QSslConfiguration::defaultConfiguration();
        tls_->setPeerVerifyMode(QSslSocket::VerifyPeer);
    }
    return *tls_;
}

void QtPop3TransportFactory::addCaCertificates(const QList<QSslCertificate>& certificates) {
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

bool QtPop3TransportFactory::addCaCertificates(const QString& pemPath) {
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(pemPath, QSsl::Pem);
    addCaCertificates(certificates);
    return !certificates.isEmpty();
}

std::unique_ptr<pop3::Transport> QtPop3TransportFactory::create() {
    return std::make_unique<QtPop3Transport>(tls());
}

}  // namespace breezel
