#include "store/DataFilePreload.h"

#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <QThread>

DataFilePreload::~DataFilePreload() {
    if (m_worker.joinable())
        m_worker.join();
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
        try {
            m_count = loadDataFile(m_path, m_store, m_codecs);
        } catch (...) {
            // Start-up loads the file itself and reports what goes wrong.
            m_count.reset();
        }
    });
}

std::optional<qint16> DataFilePreload::take(const QString& path, ArticleSlots& store) {
    if (!m_worker.joinable())
        return std::nullopt;
    m_worker.join();
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
