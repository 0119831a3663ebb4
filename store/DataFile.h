#pragma once

#include "platform/RegularFile.h"
#include "store/ArticleSlots.h"
#include "text/LargeBuffer.h"
#include "text/TextCodecs.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <optional>
#include <vector>

// At most this many articles fit the store: 9999 separator lines.
inline constexpr int MaxArticles = 9998;

// Reads the data file into an empty store and returns the article count: one
// less than the number of separator lines (lines that begin with "***").
// Throws RuntimeError: file errors, running out of memory, and the overflow and
// subscript errors of a file with more separator lines than the store can take.
// Slots filled before a failure keep their text.
// `stamp`, when given, receives the stamp of the file as it was read.
qint16 loadDataFile(const QString& path, ArticleSlots& store, FileStamp* stamp = nullptr);
// The same with the converters to try given, instead of those of the locale.
// Once `stop` is set, the next read of the file throws ReadStopped.
qint16 loadDataFile(const QString& path, ArticleSlots& store, const QList<QByteArray>& codecs,
                    const std::atomic<bool>* stop = nullptr, FileStamp* stamp = nullptr);

// A first read of the data file that keeps none of its text: the article
// count and where each slot's lines lie in the file, which stays open. Start-up
// shows the current article from it, and the whole collection is loaded
// afterwards through the same handle: the window need not wait for memory the
// size of the collection before it appears.
class DataFileOutline {
public:
    // Reads `path` through as loadDataFile() does, with its errors, and
    // reserves the memory that loading it will take. False when the file's
    // lines cannot be decoded one by one exactly as the whole text is (any
    // encoding but one kept as bytes or valid UTF-8): load it whole instead.
    bool read(const QString& path, const QList<QByteArray>& codecs,
              const std::atomic<bool>* stop = nullptr);
    qint16 count() const { return m_count; }
    // A slot's text as the loaded store holds it; none when the file has
    // changed since it was read, or cannot be read now. Throws the subscript
    // error outside FirstSlot..LastSlot.
    std::optional<QString> slotText(int index) const;
    // Loads the file whole into an empty store, as loadDataFile() does, from
    // the file read first: another file put in its place meanwhile is not read.
    qint16 load(ArticleSlots& store, const std::atomic<bool>* stop = nullptr);
    // Whether load() read the file as it was outlined, not a version written
    // over it since.
    bool loadedAsRead() const { return m_loadedAsRead; }
    // The file as read first.
    const FileStamp& stamp() const { return m_stamp; }
    // Closes the file and hands back the memory reserved for loading it.
    void clear();

private:
    QString m_path;
    QList<QByteArray> m_codecs;
    QFile m_file;
    FileStamp m_stamp;
    std::optional<TextCodec> m_codec;
    // In bytes from the file's start.
    std::vector<ArticleSlots::Lines> m_slots;
    LargeBuffer m_reserved;
    qint16 m_count = 0;
    bool m_loadedAsRead = false;
};
