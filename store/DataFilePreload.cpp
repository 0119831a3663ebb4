#include "store/DataFilePreload.h"

#include "platform/BackgroundThread.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <QThread>

namespace {

// How long the read is watched at a time, and the least processor time it must
// have had in it to count as getting on.
constexpr std::chrono::milliseconds WatchStep{10};
constexpr std::chrono::microseconds LeastProgress{2500};

} // namespace

DataFilePreload::~DataFilePreload() {
    if (m_worker.joinable())
        stopAndJoin();
}

void DataFilePreload::start(const QString& path) {
    start(path, narrowCodecsFor(localeCodeset()));
}

void DataFilePreload::start(const QString& path, const QList<QByteArray>& codecs) {
    if (m_worker.joinable())
        return;
    // Qt takes the first thread that uses it for the application's main thread;
    // claim that for this one before the worker opens the file.
    QThread::currentThread();
    m_path = path;
    m_codecs = codecs;
    m_worker = std::thread([this] {
        // Qt's start shares the processors with the window system; the read
        // taking its turn measured a tenth off launching with a large UTF-8
        // collection, whose decoding needs the most processor time.
        lowerCurrentThreadPriority();
        try {
            m_count = loadDataFile(m_path, m_store, m_codecs, &m_stop);
        } catch (...) {
            // Start-up loads the file itself and reports what goes wrong.
            m_count.reset();
        }
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_readEnded.notify_all();
    });
}

// A read at the lowest priority may get next to no processor time on a busy
// machine, and then would keep start-up waiting far longer than reading the
// file itself does. One that blocks on a slow disk ends up the same way, which
// costs only reading again what is cached by then.
bool DataFilePreload::waitWhileReadGetsOn() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        const std::optional<std::chrono::nanoseconds> before = threadProcessorTime(m_worker);
        if (m_readEnded.wait_for(lock, WatchStep, [this] { return m_ended; }))
            return true;
        // A clock the system cannot read counts as getting on.
        const std::optional<std::chrono::nanoseconds> after = threadProcessorTime(m_worker);
        if (before && after && *after - *before < LeastProgress)
            return false;
    }
}

void DataFilePreload::stopAndJoin() {
    m_stop = true;
    m_worker.join();
}

std::optional<qint16> DataFilePreload::take(const QString& path, ArticleSlots& store) {
    if (!m_worker.joinable())
        return std::nullopt;
    if (!waitWhileReadGetsOn())
        m_stop = true;
    m_worker.join();
    // A read that ended before it saw the stop is complete, and counts.
    std::optional<qint16> count;
    if (m_count && path == m_path && m_codecs == narrowCodecsFor(localeCodeset())) {
        std::swap(store, m_store);
        count = m_count;
    }
    // What was not taken goes now, before start-up reads the file again.
    m_store.clear();
    m_count.reset();
    return count;
}
