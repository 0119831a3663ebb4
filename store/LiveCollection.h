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

#include <chrono>
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
//               the index handed over; or Idle, its failure handed over.
//   Watching    the file is as last indexed or tried. A report whose stamp
//               differs from it: Settling.
//   Settling    waiting for the file to be left alone; a further report starts
//               the wait again. When it runs out: Reindexing.
//   Reindexing  the version is indexed on a task. A report whose stamp differs
//               from the one it began with drops the task: Settling. When it
//               ends: Watching, the index handed over if it was usable.
class LiveCollection : public QObject {
    Q_OBJECT

public:
    enum class State { Idle, Indexing, Watching, Settling, Reindexing };
    using Receiver = std::function<void(DataFileIndex index)>;
    using FailureReceiver = std::function<void(std::exception_ptr failure)>;

    // How long the file must be left alone before a new version is indexed:
    // editors write a file in bursts, and a report seldom comes alone.
    static constexpr std::chrono::milliseconds SettleTime{50};

    explicit LiveCollection(QObject* parent = nullptr);
    ~LiveCollection() override;

    // Starts indexing `path` with the converters the locale picks. While Idle
    // only; the locale must have been set.
    void start(const QString& path);
    // Where the indexes go, and the failure of start(); one that came before
    // is handed over at once.
    void setReceivers(Receiver receiver, FailureReceiver failed);

    State state() const { return m_state; }
    const QString& path() const { return m_path; }

private:
    void indexEnded(std::exception_ptr failure);
    void hand(DataFileIndex index);
    void fileReported();
    void startReindexing();
    void startTask();

    QString m_path;
    QList<QByteArray> m_codecs;
    Receiver m_receiver;
    FailureReceiver m_failed;
    // What came before the receivers were set.
    std::optional<DataFileIndex> m_waitingIndex;
    std::exception_ptr m_waitingFailure;
    State m_state = State::Idle;
    // The version last indexed or tried.
    std::optional<FileStamp> m_known;
    // The stamp the index under way began with.
    std::optional<FileStamp> m_indexing;
    std::shared_ptr<DataFileIndex> m_made;
    std::unique_ptr<BackgroundTask> m_task;
    QTimer m_settle;
    std::unique_ptr<FileWatch> m_watch;
};
