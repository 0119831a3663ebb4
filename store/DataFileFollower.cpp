#include "store/DataFileFollower.h"

#include "platform/BackgroundTask.h"
#include "store/DataFile.h"
#include "text/TextCodecs.h"

#include <chrono>

namespace {

// Editors write a file in bursts; a report seldom comes alone.
constexpr std::chrono::milliseconds SettleTime{50};

} // namespace

DataFileFollower::DataFileFollower(QString path, std::optional<FileStamp> known, Receiver receiver,
                                   QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_codecs(narrowCodecsFor(localeCodeset())),
      m_receiver(std::move(receiver)), m_known(known), m_watch(m_path) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleTime);
    connect(&m_settle, &QTimer::timeout, this, &DataFileFollower::startReading);
    connect(&m_watch, &FileWatch::changed, this, &DataFileFollower::fileReported);
    // A version saved between the reader's read and the watch is caught here.
    fileReported();
}

DataFileFollower::~DataFileFollower() = default;

void DataFileFollower::fileReported() {
    const std::optional<FileStamp> now = fileStamp(m_path);
    switch (m_state) {
    case State::Watching:
        if (now == m_known)
            return;
        break;
    case State::Reading:
        if (now == m_reading)
            return;
        m_task.reset();
        break;
    case State::Settling:
        break;
    }
    m_state = State::Settling;
    m_settle.start();
}

void DataFileFollower::startReading() {
    m_state = State::Reading;
    m_reading = fileStamp(m_path);
    auto version = std::make_shared<CollectionVersion>();
    m_version = version;
    m_task = std::make_unique<BackgroundTask>(
        this,
        [path = m_path, codecs = m_codecs, version](const std::atomic<bool>& stop) {
            version->count = loadDataFile(path, version->articles, codecs, &stop, &version->stamp);
        },
        [this](std::exception_ptr failure) { readEnded(failure); });
}

void DataFileFollower::readEnded(std::exception_ptr failure) {
    m_task.reset();
    m_state = State::Watching;
    std::shared_ptr<CollectionVersion> version = std::move(m_version);
    if (failure) {
        // An unusable version: remembered, so that only the next one is tried.
        m_known = m_reading;
        return;
    }
    m_known = version->stamp;
    m_receiver(std::move(*version));
    // Saved again while it was read: follow that version too.
    fileReported();
}
