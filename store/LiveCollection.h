#pragma once

#include "platform/BackgroundTask.h"
#include "platform/FileWatch.h"
#include "platform/RegularFile.h"
#include "store/DataFile.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

// The data file as the reader shows it: indexed on a background task at
// start-up, then followed while the reader runs. Each version an editor saves
// is indexed once the file has been left alone and handed over. A later
// version that cannot be used (the file missing, not a regular file,
// unreadable, too many articles, too large for memory) is passed over without
// a word: the reader keeps what it has, and the next version is followed.
//
// States:
//   Idle        nothing started, or the last start failed.
//   Indexing    start() indexes the file on a task. When it ends: Watching,
//               the index handed over, then the file looked at again (a save
//               made while it was indexed); or Idle, its failure handed over.
//   Watching    the file is as last indexed or tried. A report or a recheck
//               whose stamp differs from it: Settling. A recheck that finds
//               it the same: passed over said (at once, but not within it).
//   Settling    waiting for the file to be left alone for FileQuietTime; a
//               report whose stamp differs from the last one seen starts the
//               wait again. When it runs out: Reindexing.
//   Reindexing  the version last seen is indexed on a task. A report whose
//               stamp differs from it drops the task: Settling. When it ends:
//               Watching, the index handed over if it was usable, passed over
//               said if not.
class LiveCollection : public QObject {
    Q_OBJECT

public:
    enum class State { Idle, Indexing, Watching, Settling, Reindexing };
    struct Receivers {
        // Each usable version, the first one included.
        std::function<void(DataFileIndex index)> version;
        // What kept start() from indexing the file.
        std::function<void(std::exception_ptr failure)> failed;
        // No new usable version: one was passed over, or a recheck found the
        // file as it was.
        std::function<void()> passedOver;
    };

    explicit LiveCollection(QObject* parent = nullptr);
    ~LiveCollection() override;

    // Starts indexing `path` with the converters the locale picks. While Idle
    // only; the locale must have been set.
    void start(const QString& path);
    // Where the indexes go; what came before is handed over at once.
    void setReceivers(Receivers receivers);
    // The reader found the file changed since the version it holds (a save in
    // place): look at it now rather than at the next report.
    void recheck();

    State state() const { return m_state; }
    const QString& path() const { return m_path; }

Q_SIGNALS:
    void stateChanged(LiveCollection::State state);

private:
    void setState(State state);
    void indexEnded(std::exception_ptr failure);
    void hand(DataFileIndex index);
    void sayPassedOver();
    void fileReported();
    void startTask(std::optional<FileStamp> seen);

    QString m_path;
    QList<QByteArray> m_codecs;
    Receivers m_receivers;
    // What came before the receivers were set.
    std::optional<DataFileIndex> m_waitingIndex;
    std::exception_ptr m_waitingFailure;
    State m_state = State::Idle;
    // The version last indexed or tried.
    std::optional<FileStamp> m_known;
    // The stamp last seen while Settling, and the one the index under way
    // began with.
    std::optional<FileStamp> m_seen;
    std::shared_ptr<DataFileIndex> m_made;
    std::unique_ptr<BackgroundTask> m_task;
    QTimer m_settle;
    std::unique_ptr<FileWatch> m_watch;
};
