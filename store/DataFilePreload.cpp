#include "store/DataFilePreload.h"

#include "platform/BackgroundThread.h"
#include "platform/RuntimeError.h"
#include "store/FileBytes.h"
#include "text/NarrowText.h"

#include <QThread>

#include <system_error>

namespace {

// How long the read is watched at a time, and the least processor time it must
// have had in it to count as getting on.
constexpr std::chrono::milliseconds WatchStep{10};
constexpr std::chrono::microseconds LeastProgress{2500};

} // namespace

DataFilePreload::~DataFilePreload() {
    if (m_worker.joinable()) {
        m_stop = true;
        m_worker.join();
    }
}

void DataFilePreload::start(const QString& path) {
    start(path, narrowCodecsFor(localeCodeset()));
}

void DataFilePreload::start(const QString& path, const QList<QByteArray>& codecs) {
    if (!m_path.isNull())
        return;
    // Qt takes the first thread that uses it for the application's main thread;
    // claim that for this one before the worker opens the file.
    QThread::currentThread();
    m_path = path;
    m_codecs = codecs;
    runOnWorker([this] {
        try {
            m_outlined = m_outline.read(m_path, m_codecs, &m_stop);
        } catch (...) {
            // Start-up loads the file itself and reports what goes wrong.
            m_outlined = false;
        }
    });
}

void DataFilePreload::runOnWorker(std::function<void()> read) {
    m_ended = false;
    m_stop = false;
    try {
        m_worker = std::thread([this, read = std::move(read)] {
            // Qt's start shares the processors with the window system; the read
            // taking its turn measured a tenth off launching with a large UTF-8
            // collection, whose decoding needs the most processor time.
            lowerCurrentThreadPriority();
            read();
            const std::lock_guard lock(m_mutex);
            m_ended = true;
            m_readEnded.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread to spare: whoever waits for the read does it instead.
    }
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

bool DataFilePreload::readEnded() {
    const std::lock_guard lock(m_mutex);
    return m_ended || !m_worker.joinable();
}

// A read that ended before it saw the stop is complete, and counts.
void DataFilePreload::waitForWorker() {
    if (!m_worker.joinable())
        return;
    if (!waitWhileReadGetsOn())
        m_stop = true;
    m_worker.join();
}

std::optional<qint16> DataFilePreload::takeOutline(const QString& path) {
    if (m_outlineTaken)
        return std::nullopt;
    m_outlineTaken = true;
    waitForWorker();
    if (m_outlined && path == m_path && m_codecs == narrowCodecsFor(localeCodeset()))
        return m_outline.count();
    // What was not taken goes now, before start-up reads the file again.
    m_outlined = false;
    m_outline.clear();
    return std::nullopt;
}

std::optional<QString> DataFilePreload::articleText(int index) const {
    ArticleSlots::checkIndex(index);
    if (!m_outlined || m_loadStarted)
        return std::nullopt;
    return m_outline.slotText(index);
}

void DataFilePreload::startLoading() {
    if (!m_outlined || m_loadStarted)
        return;
    m_loadStarted = true;
    runOnWorker([this] {
        try {
            m_count = m_outline.load(m_store, &m_stop);
        } catch (const ReadStopped&) {
            // finishLoading() loads the file itself.
        } catch (...) {
            m_failure = std::current_exception();
        }
    });
}

qint16 DataFilePreload::finishLoading(ArticleSlots& store) {
    if (!m_outlined)
        throw RuntimeError::internal(QStringLiteral("no outlined collection to load"));
    m_loadStarted = true;
    waitForWorker();
    m_outlined = false;
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
    if (!m_count)
        return m_outline.load(store);
    std::swap(store, m_store);
    return *m_count;
}

std::optional<qint16> DataFilePreload::take(const QString& path, ArticleSlots& store) {
    if (!takeOutline(path))
        return std::nullopt;
    try {
        return finishLoading(store);
    } catch (const RuntimeError&) {
        store.clear();
        return std::nullopt;
    }
}
