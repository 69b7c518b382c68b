#include "qt/QtKeyring.h"

#include <qt6keychain/keychain.h>

#include "qt/Bindings.h"

namespace breezel {

namespace {

Keyring::Outcome OutcomeOf(QKeychain::Error error) {
    switch (error) {
        case QKeychain::NoError:
            return Keyring::Outcome::Done;
        case QKeychain::EntryNotFound:
            return Keyring::Outcome::NotFound;
        // No bus, no Secret Service on it, or a D-Bus failure on the way: nobody answers.
        case QKeychain::NoBackendAvailable:
        case QKeychain::NotImplemented:
        case QKeychain::OtherError:
            return Keyring::Outcome::Unavailable;
        default:
            return Keyring::Outcome::Failed;
    }
}

// Starts the job; done hears its end. The job deletes itself after that.
void Run(QKeychain::Job* job, const std::string& key, Keyring::Done done) {
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(ToQString(key));
    QObject::connect(job, &QKeychain::Job::finished, job,
                     [done = std::move(done)](QKeychain::Job* finished) {
                         Keyring::Reply reply{OutcomeOf(finished->error()), {}};
                         if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished);
                             read != nullptr && reply.outcome == Keyring::Outcome::Done) {
                             reply.secret = Secret(ToStdString(read->textData()));
                         }
                         done(std::move(reply));
                     });
    job->start();
}

}  // namespace

QtKeyring::QtKeyring(QString service) : service_(std::move(service)) {}

void QtKeyring::read(const std::string& key, Done done) {
    Run(new QKeychain::ReadPasswordJob(service_), key, std::move(done));
}

void QtKeyring::write(const std::string& key, const Secret& secret, Done done) {
    auto* job = new QKeychain::WritePasswordJob(service_);
    job->setTextData(ToQString(secret.reveal()));
    Run(job, key, std::move(done));
}

void QtKeyring::remove(const std::string& key, Done done) {
    Run(new QKeychain::DeletePasswordJob(service_), key, std::move(done));
}

}  // namespace breezel
