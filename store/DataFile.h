#pragma once

#include "platform/RegularFile.h"
#include "store/ArticleSlots.h"
#include "store/ArticleTitles.h"
#include "text/TextCodecs.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFile;
class TitleCatcher;

// The moments of a steady read of the data file, for tests that change the
// file there: after each read of it, and after the wait for it to be left
// alone, each just before the file's stamp is looked at again.
enum class SteadyReadStep { Read, Quiet };

// At most this many articles fit the store: 9999 separator lines.
inline constexpr int MaxArticles = 9998;

// How long a file must have been left alone before a read of it counts:
// editors write a file in bursts, emptied, part-written, then whole.
inline constexpr std::chrono::milliseconds FileQuietTime{50};

// One version of the data file, indexed: its article count (one less than the
// number of separator lines, the lines that begin with "***") and where each
// slot's lines lie in it. The file stays open and a slot's text is read and
// decoded when asked for, so the collection's text is never held; only a text
// whose lines cannot be decoded one by one (an encoding other than Big5 or
// valid UTF-8) is held whole. Made on any thread, used on one at a time.
class DataFileIndex {
public:
    DataFileIndex();
    ~DataFileIndex();
    DataFileIndex(DataFileIndex&&) noexcept;
    DataFileIndex& operator=(DataFileIndex&&) noexcept;

    qint16 count() const { return m_count; }
    // The file as it was indexed.
    const FileStamp& stamp() const { return m_stamp; }

    // A slot's text: for each of its lines, CR LF followed by the line. None
    // when the file has been written over in place since it was indexed, or
    // cannot be read now. Throws the subscript error outside
    // ArticleSlots::FirstSlot..LastSlot.
    std::optional<QString> slotText(int index) const;
    // The articles' titles: their bytes are caught on the pass that indexed
    // the file and decoded on first use, so that start-up decodes none.
    const ArticleTitles& titles() const;
    // A slot's text as read from this version, to be found again in another.
    struct SlotCopy {
        QString text;
        // Its size where it is kept, in the encoding `keptAs` (empty where
        // the text is held whole): two slots kept alike can hold the same text
        // only if their sizes are equal, which spares reading most of them.
        qsizetype size = 0;
        QByteArray keptAs;
    };
    SlotCopy copyOf(int index, QString text) const;
    // Whether slot `index` holds the copy's text. Throws as slotText() does.
    bool holds(int index, const SlotCopy& copy) const;

    // For searching the slots in the file's own bytes, without decoding them:
    // their encoding, or none where the text is held whole.
    const TextCodec* bytesCodec() const;
    // Where a slot's lines lie in the file (see readBytes()); from == to for
    // an empty slot. Throws as slotText() does.
    ArticleSlots::Lines slotLines(int index) const;
    // The bytes [from, to) of the file as indexed, with the LF that the index
    // adds past its end. False when the file has been written over in place
    // since it was indexed, or cannot be read now.
    bool readBytes(qint64 from, qint64 to, QByteArray& into) const;

private:
    friend DataFileIndex indexDataFile(const QString&, const QList<QByteArray>&,
                                       const std::atomic<bool>*, std::optional<FileStamp>,
                                       const std::function<void(SteadyReadStep)>&);

    // The first line of a slot that is not blank, trimmed, read from the
    // slot's bytes alone: at least its first `longest` characters, more when
    // that was as cheap. Empty when every line is blank; none when the file
    // cannot give it now.
    std::optional<QString> slotFirstLine(int index, qsizetype longest) const;
    // The titles, from those caught in the bytes where there are any.
    void makeTitles(const TitleCatcher* caught, ArticleTitles& titles) const;

    std::unique_ptr<QFile> m_file;
    FileStamp m_stamp;
    std::optional<TextCodec> m_codec;
    // In bytes from the file's start; the last may end one past it, with the
    // LF that reading the text whole adds.
    std::vector<ArticleSlots::Lines> m_slots;
    // The text, when it is held whole.
    std::unique_ptr<ArticleSlots> m_whole;
    struct LazyTitles;
    std::unique_ptr<LazyTitles> m_titles;
    qint16 m_count = 0;
};

// Indexes the data file with the converters given (see narrowCodecsFor()).
// Throws RuntimeError: file errors, a text that keeps changing while it is
// read, running out of memory, and the overflow and subscript errors of a file
// with more separator lines than the store can take. Once `stop` is set, the
// next read of the file throws ReadStopped. `seen`, the file's stamp when it
// was last looked at, spares looking again before the read. `afterStep`, when
// given, runs at each step of the steady read.
DataFileIndex indexDataFile(const QString& path, const QList<QByteArray>& codecs,
                            const std::atomic<bool>* stop = nullptr,
                            std::optional<FileStamp> seen = std::nullopt,
                            const std::function<void(SteadyReadStep)>& afterStep = {});
