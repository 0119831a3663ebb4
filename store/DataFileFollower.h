#pragma once

#include "platform/FileWatch.h"
#include "platform/RegularFile.h"
#include "store/ArticleSlots.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class BackgroundTask;

// One version of the collection, read whole while the reader runs.
struct CollectionVersion {
    ArticleSlots articles;
    qint16 count = 0;
    // The file as it was read.
    FileStamp stamp;
};

// Follows the data file while the reader runs: each version an editor saves
// is read, once the file has been left alone, on a background task, and handed
// over. A version that cannot be used (the file missing, not a regular file,
// unreadable, too many articles, too large for memory) is passed over without
// a word: the reader keeps what it has, and the next version is followed.
//
// States:
//   Watching  the file is as last read or tried. A report whose stamp differs
//             from it: Settling.
//   Settling  waiting for the file to be left alone; a further report starts
//             the wait again. When it runs out: Reading.
//   Reading   the version is read on a task. A report whose stamp differs from
//             the one the read began with drops the task: Settling. When the
//             read ends: Watching, the version handed over if it was usable.
class DataFileFollower : public QObject {
    Q_OBJECT

public:
    enum class State { Watching, Settling, Reading };
    using Receiver = std::function<void(CollectionVersion version)>;

    // `known` is the stamp of the version the reader shows; none for a file
    // it could not see.
    // Reads with the converters the locale picks, as start-up does.
    DataFileFollower(QString path, std::optional<FileStamp> known, Receiver receiver,
                     QObject* parent = nullptr);
    ~DataFileFollower() override;

    State state() const { return m_state; }

private:
    void fileReported();
    void startReading();
    void readEnded(std::exception_ptr failure);

    QString m_path;
    QList<QByteArray> m_codecs;
    Receiver m_receiver;
    State m_state = State::Watching;
    // The version last read or tried.
    std::optional<FileStamp> m_known;
    // The stamp the read under way began with.
    std::optional<FileStamp> m_reading;
    std::shared_ptr<CollectionVersion> m_version;
    std::unique_ptr<BackgroundTask> m_task;
    QTimer m_settle;
    FileWatch m_watch;
};
