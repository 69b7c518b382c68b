#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <memory>
#include <optional>

#include "net/Transport.h"

namespace breezel {

/// Makes QSslSocket transports that verify servers against the system's trust store and the
/// host name. Tests may trust their own CA in addition. The TLS library (some 4 MB of memory)
/// is loaded with the first transport, at the first check, not at start-up.
class QtTransportFactory : public net::TransportFactory {
public:
    QtTransportFactory();

    /// Trusts these CAs, besides the system's, in the transports made from now on.
    void addCaCertificates(const QList<QSslCertificate>& certificates);
    /// The same with the certificates of a PEM file; false when it holds none.
    bool addCaCertificates(const QString& pemPath);

    std::unique_ptr<net::Transport> create() override;

private:
    QSslConfiguration& tls();

    std::optional<QSslConfiguration> tls_;
};

}  // namespace breezel
