#pragma once

#include "platform/RegularFile.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// Tells when a file may have changed, however an editor saves it: written in
// place, truncated and written again, replaced by a rename, deleted and made
// anew, or, for a link, pointed elsewhere. A watch on the file alone is lost
// when a rename replaces it, so the folders are watched too: the file's own
// and, for a link, its target's and the one that holds that. Spurious reports are expected (any
// file in those folders); the receiver compares the file's stamp.
//
// A watch the system will not give (the user's inotify watches used up, a
// folder that is gone) or one it takes back is made up for by looking at the
// file's stamp about once a second, trying for the watches again each time;
// the looking stops once every watch is back.
class FileWatch : public QObject {
    Q_OBJECT

public:
    // Asked before each watch is added; false makes it fail as the system would.
    using WatchGate = std::function<bool(const QString& path)>;

    explicit FileWatch(QString path, QObject* parent = nullptr);
    // For tests: watches that fail when `gate` says so, and a shorter look.
    FileWatch(QString path, WatchGate gate, std::chrono::milliseconds pollInterval,
              QObject* parent = nullptr);

    // The paths watched now: always the ones the file's place calls for, less
    // those that could not be had.
    QStringList watchedPaths() const;
    // Whether the stamp is being looked at, for want of a watch.
    bool isPolling() const { return m_poll.isActive(); }

Q_SIGNALS:
    void changed();

private:
    // Watches whatever the path leads to now, and nothing else; looks at the
    // stamp instead while a watch is missing.
    void watchCurrentTarget();
    bool addWatch(const QString& path);
    void report();
    void poll();

    QString m_path;
    WatchGate m_gate;
    QFileSystemWatcher m_watcher;
    QTimer m_poll;
    // What each watched path led to when its watch was added: a path that
    // leads elsewhere now (a file renamed over, a folder swapped) keeps a
    // watch on what it used to be. Device and inode.
    QHash<QString, std::pair<quint64, quint64>> m_watchedAs;
    // The file's stamp at the last look, while looking.
    std::optional<FileStamp> m_lastStamp;
    bool m_toldPolling = false;
};
