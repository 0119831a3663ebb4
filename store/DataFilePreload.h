#pragma once

#include "store/ArticleSlots.h"
#include "store/DataFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Reads the data file on a worker thread while Qt and the window start up, in
// two passes. The first outlines the file while the window is built: the
// article count and where each article lies, keeping none of the text, so
// that the window shows the current article without waiting for memory the
// size of the collection. The second, started once the window is on screen,
// loads the whole collection through the same open file; a move waits for it.
//
// Start-up takes the outline where it would load the file; whatever the
// preload cannot vouch for (another path, other converters than the locale
// picks by then, any failure) is loaded there again, so start-up reads, fails
// and reports exactly as it would without a preload.
//
// Both passes run at the lowest priority, so that where the window and the
// read want the same processor the window goes first.
class DataFilePreload {
public:
    DataFilePreload() = default;
    ~DataFilePreload();
    DataFilePreload(const DataFilePreload&) = delete;
    DataFilePreload& operator=(const DataFilePreload&) = delete;

    // Starts outlining `path` with the converters the locale picks now, or
    // with those given. Call it once, from the thread that runs the application.
    void start(const QString& path);
    void start(const QString& path, const QList<QByteArray>& codecs);

    // Whether the read now on the worker, if any, has ended. For tests, which
    // cannot have a read stopped because other tests keep the processors busy.
    bool readEnded();

    // Waits for the outline while its read gets on; one that the rest of the
    // machine keeps from a processor is stopped instead, and start-up reads
    // the file itself. When it outlined all of `path` with the converters the
    // locale picks now, returns the article count, and the collection is then
    // this preload's to load; otherwise start-up loads it. Only the first call
    // can succeed.
    std::optional<qint16> takeOutline(const QString& path);
    // A slot's text from the outline taken, as the loaded store will hold it;
    // none once the load has started, or where the file has changed. Throws
    // the subscript error outside the store's slots.
    std::optional<QString> articleText(int index) const;
    // Starts loading the collection outlined, on the worker.
    void startLoading();
    // Waits for the load (one starved of processor time is stopped and done
    // here instead, as is one never started) and swaps the collection into
    // `store`, returning its article count. Throws as loadDataFile() does.
    // Only after takeOutline() has returned a count, and only once.
    qint16 finishLoading(ArticleSlots& store);
    // Whether the collection loaded is the file as it was outlined, not a
    // version written over it since.
    bool loadedAsOutlined() const { return m_outline.loadedAsRead(); }
    // The file as the outline taken read it.
    const FileStamp& outlineStamp() const { return m_outline.stamp(); }

    // Both passes in one: the whole collection, or none as takeOutline() has
    // it, or when loading it failed.
    std::optional<qint16> take(const QString& path, ArticleSlots& store);

private:
    void runOnWorker(std::function<void()> read);
    bool waitWhileReadGetsOn();
    void waitForWorker();

    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_readEnded;
    bool m_ended = false;
    std::atomic<bool> m_stop = false;
    QString m_path;
    QList<QByteArray> m_codecs;
    DataFileOutline m_outline;
    bool m_outlined = false;
    bool m_outlineTaken = false;
    bool m_loadStarted = false;
    ArticleSlots m_store;
    std::optional<qint16> m_count;
    std::exception_ptr m_failure;
};
