#pragma once

#include "store/ArticleSlots.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// Reads the data file on a worker thread while Qt and the window start up, so
// that a large collection keeps the user waiting little longer than decoding
// it takes. Start-up takes the result where it would load the file; whatever
// the preload cannot vouch for (another path, other converters than the locale
// picks by then, any failure) is loaded there again, so start-up reads, fails
// and reports exactly as it would without a preload.
//
// The read runs at the lowest priority, so that where the window and the read
// want the same processor the window goes first.
class DataFilePreload {
public:
    DataFilePreload() = default;
    ~DataFilePreload();
    DataFilePreload(const DataFilePreload&) = delete;
    DataFilePreload& operator=(const DataFilePreload&) = delete;

    // Starts reading `path` with the converters the locale picks now, or with
    // those given. Call it once, from the thread that runs the application.
    void start(const QString& path);
    void start(const QString& path, const QList<QByteArray>& codecs);

    // Waits for the read while it gets on; one that the rest of the machine
    // keeps from a processor is stopped instead, and start-up reads the file
    // itself. When it read all of `path` with the converters the locale picks
    // now, swaps the articles into `store` and returns their count; otherwise
    // leaves `store` alone. Only the first call can succeed.
    std::optional<qint16> take(const QString& path, ArticleSlots& store);

private:
    bool waitWhileReadGetsOn();
    void stopAndJoin();

    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_readEnded;
    bool m_ended = false;
    std::atomic<bool> m_stop = false;
    QString m_path;
    QList<QByteArray> m_codecs;
    ArticleSlots m_store;
    std::optional<qint16> m_count;
};
