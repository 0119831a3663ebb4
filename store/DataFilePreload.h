#pragma once

#include "store/ArticleSlots.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <thread>

// Reads the data file on a worker thread while Qt and the window start up, so
// that a large collection keeps the user waiting little longer than decoding
// it takes. Start-up takes the result where it would load the file; whatever
// the preload cannot vouch for (another path, other converters than the locale
// picks by then, any failure) is loaded there again, so start-up reads, fails
// and reports exactly as it would without a preload.
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

    // Waits for the read. When it read all of `path` with the converters the
    // locale picks now, swaps the articles into `store` and returns their
    // count; otherwise leaves `store` alone. Only the first call can succeed.
    std::optional<qint16> take(const QString& path, ArticleSlots& store);

private:
    std::thread m_worker;
    QString m_path;
    QList<QByteArray> m_codecs;
    ArticleSlots m_store;
    std::optional<qint16> m_count;
};
