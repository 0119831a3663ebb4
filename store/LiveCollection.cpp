#include "store/LiveCollection.h"

#include "platform/BackgroundTask.h"
#include "store/DataFile.h"
#include "text/TextCodecs.h"

#include <utility>

LiveCollection::LiveCollection(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    // The edit shows this much later at least; a coarse timer adds up to 5%.
    m_settle.setTimerType(Qt::PreciseTimer);
    m_settle.setInterval(SettleTime);
    connect(&m_settle, &QTimer::timeout, this, &LiveCollection::startReindexing);
}

LiveCollection::~LiveCollection() = default;

void LiveCollection::start(const QString& path) {
    if (m_state != State::Idle)
        return;
    m_path = path;
    m_codecs = narrowCodecsFor(localeCodeset());
    m_state = State::Indexing;
    startTask();
}

void LiveCollection::setReceivers(Receiver receiver, FailureReceiver failed) {
    m_receiver = std::move(receiver);
    m_failed = std::move(failed);
    if (m_waitingIndex) {
        DataFileIndex index = std::move(*m_waitingIndex);
        m_waitingIndex.reset();
        m_receiver(std::move(index));
    } else if (m_waitingFailure) {
        m_failed(std::exchange(m_waitingFailure, nullptr));
    }
}

void LiveCollection::startTask() {
    m_indexing = fileStamp(m_path);
    auto made = std::make_shared<DataFileIndex>();
    m_made = made;
    m_task = std::make_unique<BackgroundTask>(
        this,
        [path = m_path, codecs = m_codecs, made](const std::atomic<bool>& stop) {
            *made = indexDataFile(path, codecs, &stop);
        },
        [this](std::exception_ptr failure) { indexEnded(failure); });
}

void LiveCollection::indexEnded(std::exception_ptr failure) {
    m_task.reset();
    std::shared_ptr<DataFileIndex> made = std::move(m_made);
    if (m_state == State::Indexing) {
        if (failure) {
            m_state = State::Idle;
            if (m_failed)
                m_failed(failure);
            else
                m_waitingFailure = failure;
            return;
        }
        m_watch = std::make_unique<FileWatch>(m_path);
        connect(m_watch.get(), &FileWatch::changed, this, &LiveCollection::fileReported);
    }
    m_state = State::Watching;
    if (failure) {
        // An unusable version: remembered, so that only the next one is tried.
        m_known = m_indexing;
        return;
    }
    m_known = made->stamp();
    hand(std::move(*made));
    // Saved again while it was indexed, or before the watch began: follow
    // that version too.
    fileReported();
}

void LiveCollection::hand(DataFileIndex index) {
    if (m_receiver)
        m_receiver(std::move(index));
    else
        m_waitingIndex = std::move(index);
}

void LiveCollection::fileReported() {
    const std::optional<FileStamp> now = fileStamp(m_path);
    switch (m_state) {
    case State::Idle:
    case State::Indexing:
        return;
    case State::Watching:
        if (now == m_known)
            return;
        break;
    case State::Reindexing:
        if (now == m_indexing)
            return;
        m_task.reset();
        break;
    case State::Settling:
        break;
    }
    m_state = State::Settling;
    m_settle.start();
}

void LiveCollection::startReindexing() {
    m_state = State::Reindexing;
    startTask();
}
