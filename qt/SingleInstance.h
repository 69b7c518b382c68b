#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

namespace breezel {

/// One running Breezel per program folder: a second start hands over to the first, which
/// brings its window forward, and ends. Two notifiers on one folder would check and ring twice
/// and race on the settings files.
///
/// The socket and its lock have one fixed name per user and folder in the user's runtime folder
/// ($XDG_RUNTIME_DIR, else a private folder in the user's cache, never the shared /tmp): a run
/// that was killed leaves at most that one socket, which the next start takes over.
class SingleInstance {
public:
    /// programFolder identifies the instance (with the user).
    explicit SingleInstance(const QString& programFolder);
    ~SingleInstance();

    /// True when another instance runs for this folder and was asked to come forward: this
    /// process should end. Otherwise this process becomes the one that is asked.
    bool handOverToRunning();
    /// What to do when a later start asks this instance to come forward.
    void onActivate(std::function<void()> activate) { activate_ = std::move(activate); }
    /// Removes the socket, and the private folder when nothing else is in it. For every way out,
    /// including one that skips destructors; a termination signal does the same.
    void release();

private:
    QString folder_;
    QString name_;
    bool ownFolder_ = false;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    std::function<void()> activate_;
};

}  // namespace breezel
