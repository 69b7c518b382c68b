#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <cstdint>

#include "platform/SystemEvents.h"

class QDBusServiceWatcher;

namespace breezel {

/// Sleep and wake as logind tells them (PrepareForSleep), and the network as NetworkManager
/// reports it (its State and PrimaryConnection), over the D-Bus system bus. While awake it
/// holds a delay lock on sleep, released once every listener let go of the delay (or after a
/// second), and taken again on wake. Without a system bus, logind or NetworkManager, the
/// signals that depend on them never come and the network stays Unknown. No call blocks.
class SystemBusEvents : public QObject, public SystemEvents {
    Q_OBJECT

public:
    SystemBusEvents();
    ~SystemBusEvents() override;
    SystemBusEvents(const SystemBusEvents&) = delete;
    SystemBusEvents& operator=(const SystemBusEvents&) = delete;

    NetworkState network() const override { return network_; }

private slots:
    void prepareForSleep(bool sleeping);
    void managerStateChanged(uint state);
    void managerPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                  const QStringList& invalidated);

private:
    void takeLock();
    void releaseLock();
    void readManager();
    void setManager(const QVariantMap& properties);

    QDBusUnixFileDescriptor lock_;
    // Counts sleeps: a delay from an earlier one never releases a lock taken since.
    std::uint64_t sleeps_ = 0;
    QTimer lockLimit_;
    QDBusServiceWatcher* managerWatcher_ = nullptr;
    NetworkState network_;
    uint managerState_ = 0;
    QString primary_;
};

}  // namespace breezel
