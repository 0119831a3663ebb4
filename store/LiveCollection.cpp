#include "store/LiveCollection.h"

#include "platform/BackgroundTask.h"
#include "store/DataFile.h"
#include "text/TextCodecs.h"

#include <utility>

LiveCollection::LiveCollection(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    // The edit shows this much later at least; a coarse timer adds up to 5%.
    m_settle.setTimerType(Qt::PreciseTimer);
    m_settle.setInterval(FileQuietTime);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        startTask(m_seen);
        setState(State::Reindexing);
    });
}

LiveCollection::~LiveCollection() = default;

void LiveCollection::start(const QString& path) {
    if (m_state != State::Idle)
        return;
    m_path = path;
    m_codecs = narrowCodecsFor(localeCodeset());
    startTask(std::nullopt);
    setState(State::Indexing);
}

void LiveCollection::setReceivers(Receivers receivers) {
    m_receivers = std::move(receivers);
    if (m_waitingIndex) {
        DataFileIndex index = std::move(*m_waitingIndex);
        m_waitingIndex.reset();
        m_receivers.version(std::move(index));
    } else if (m_waitingFailure) {
        m_receivers.failed(std::exchange(m_waitingFailure, nullptr));
    }
}

void LiveCollection::startTask(std::optional<FileStamp> seen) {
    auto made = std::make_shared<DataFileIndex>();
    m_made = made;
    m_task = std::make_unique<BackgroundTask>(
        this,
        [path = m_path, codecs = m_codecs, made, seen](const std::atomic<bool>& stop) {
            *made = indexDataFile(path, codecs, &stop, seen);
        },
        [this](std::exception_ptr failure) { indexEnded(failure); });
}

void LiveCollection::indexEnded(std::exception_ptr failure) {
    m_task.reset();
    std::shared_ptr<DataFileIndex> made = std::move(m_made);
    if (m_state == State::Indexing) {
        if (failure) {
            setState(State::Idle);
            if (m_receivers.failed)
                m_receivers.failed(failure);
            else
                m_waitingFailure = failure;
            return;
        }
        m_watch = std::make_unique<FileWatch>(m_path);
        connect(m_watch.get(), &FileWatch::changed, this, &LiveCollection::fileReported);
    }
    setState(State::Watching);
    if (failure) {
        // An unusable version: remembered, so that only the next one is tried.
        m_known = m_seen;
        sayPassedOver();
        return;
    }
    m_known = made->stamp();
    hand(std::move(*made));
    // Saved again while it was indexed, or before the watch began: follow
    // that version too.
    fileReported();
}

void LiveCollection::setState(State state) {
    m_state = state;
    Q_EMIT stateChanged(state);
}

void LiveCollection::hand(DataFileIndex index) {
    if (m_receivers.version)
        m_receivers.version(std::move(index));
    else
        m_waitingIndex = std::move(index);
}

void LiveCollection::sayPassedOver() {
    if (m_receivers.passedOver)
        m_receivers.passedOver();
}

void LiveCollection::recheck() {
    if (m_state != State::Watching)
        return; // a version, or word of none, is on its way
    if (fileStamp(m_path) != m_known) {
        fileReported();
        return;
    }
    // Not from within the caller, which may be answering a move.
    QMetaObject::invokeMethod(
        this, [this] { sayPassedOver(); }, Qt::QueuedConnection);
}

void LiveCollection::fileReported() {
    std::optional<FileStamp> now = fileStamp(m_path);
    switch (m_state) {
    case State::Idle:
    case State::Indexing:
        return;
    case State::Watching:
        if (now == m_known)
            return;
        break;
    case State::Settling:
        // Another file in the folder: no reason to wait longer.
        if (now == m_seen)
            return;
        break;
    case State::Reindexing:
        if (now == m_seen)
            return;
        m_task.reset();
        break;
    }
    m_seen = std::move(now);
    m_settle.start();
    setState(State::Settling);
}
