#include "store/DataFile.h"

#include "platform/Int16.h"
#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"
#include "store/FileBytes.h"
#include "text/NarrowText.h"

#include <QDateTime>
#include <QFile>
#include <QStringView>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

namespace {

QString tooManyArticles() {
    return QStringLiteral("data.txt 的文章多於本程式能保存的數量：最多 %1 篇"
                          "（%2 行以 *** 開頭的分隔行）。")
        .arg(MaxArticles)
        .arg(MaxArticles + 1);
}

qsizetype findStar(const char* text, qsizetype size, qsizetype from) {
    const void* at = std::memchr(text + from, '*', size_t(size - from));
    return at ? static_cast<const char*>(at) - text : -1;
}

qsizetype findStar(const char16_t* text, qsizetype size, qsizetype from) {
    return QStringView(text, size).indexOf(u'*', from);
}

// Splits the text at its separator lines, in file order, as reading it line by
// line would: only the separator lines are looked at one by one, and each slot
// gets the run of whole lines between two of them. Works on the bytes of a text
// kept as bytes and on UTF-16 alike, since line ends and "*" are the same in
// both.
template <typename Char> class SlotFinder {
public:
    SlotFinder(const Char* text, qsizetype size, std::vector<ArticleSlots::Lines>& slots)
        : m_text(text), m_size(size), m_slots(slots) {}

    // Returns the number of separator lines.
    qint16 run() {
        qsizetype lineStart = 0;
        for (;;) {
            const qsizetype separator = nextSeparator(lineStart);
            if (separator > lineStart)
                fileLines(lineStart, separator);
            if (separator == m_size)
                return m_index;
            countSeparator();
            lineStart = lineAt(m_text, m_size, separator).next;
        }
    }

private:
    bool startsSeparator(qsizetype at) const {
        return at + 2 < m_size && m_text[at] == '*' && m_text[at + 1] == '*' &&
               m_text[at + 2] == '*';
    }

    // The start of the first separator line at or after `from`, which starts a
    // line; the end of the text when there is none.
    qsizetype nextSeparator(qsizetype from) const {
        if (from >= m_size)
            return m_size;
        if (startsSeparator(from))
            return from;
        for (qsizetype at = findStar(m_text, m_size, from + 1); at >= 0;
             at = findStar(m_text, m_size, at + 1)) {
            if (isLineEnd(m_text[at - 1]) && startsSeparator(at))
                return at;
        }
        return m_size;
    }

    void countSeparator() {
        try {
            m_index = int16::add(m_index, 1);
        } catch (const RuntimeError& error) {
            throw RuntimeError(error.number(), error.description(), tooManyArticles());
        }
    }

    void fileLines(qsizetype from, qsizetype to) {
        if (m_index > ArticleSlots::LastSlot)
            throw RuntimeError::subscriptOutOfRange(tooManyArticles());
        if (size_t(m_index) >= m_slots.size())
            m_slots.resize(size_t(m_index) + 1);
        m_slots[size_t(m_index)] = {from, to};
    }

    const Char* m_text;
    qsizetype m_size;
    std::vector<ArticleSlots::Lines>& m_slots;
    qint16 m_index = 0;
};

// The file's bytes, handed to the text layer to decode or keep.
WholeNarrowText readWholeText(const QString& path, const QList<QByteArray>& codecs,
                              const std::atomic<bool>* stop) {
    QFile file;
    openRegularFile(file, path);
    FileBytes bytes(file, path, stop);
    std::optional<WholeNarrowText> text = decodeWholeNarrowText(bytes, codecs);
    if (!text)
        throwUnknownEncoding(path);
    return std::move(*text);
}

// An editor may save the collection while it is read, in place or by putting a
// new file in its place: such a read is neither the old text nor the new. A
// read counts when the file is the same before and after it and has been left
// alone for a moment, since an editor that empties the file and then writes it
// leaves it unchanged, empty or part-written, between its writes.
WholeNarrowText readSteadyText(const QString& path, const QList<QByteArray>& codecs,
                               const std::atomic<bool>* stop) {
    constexpr int MostReads = 5;
    constexpr qint64 QuietNanoseconds = 50'000'000;
    for (int read = 1;; ++read) {
        const std::optional<FileStamp> before = fileStamp(path);
        WholeNarrowText text = readWholeText(path, codecs, stop);
        if (before && before == fileStamp(path)) {
            const qint64 quiet = QDateTime::currentMSecsSinceEpoch() * 1'000'000 -
                                 std::max(before->modified, before->changed);
            if (quiet >= QuietNanoseconds)
                return text;
            std::this_thread::sleep_for(std::chrono::nanoseconds(QuietNanoseconds - quiet));
            if (before == fileStamp(path))
                return text;
        }
        if (read == MostReads)
            throw RuntimeError::fileAccess(path, QStringLiteral("讀取時檔案一再被改寫。"));
    }
}

qint16 findSlots(const WholeNarrowText& text, std::vector<ArticleSlots::Lines>& slots) {
    if (text.keptAsBytes())
        return SlotFinder<char>(text.bytes(), text.size(), slots).run();
    return SlotFinder<char16_t>(text.units(), text.size(), slots).run();
}

} // namespace

qint16 loadDataFile(const QString& path, ArticleSlots& store) {
    return loadDataFile(path, store, narrowCodecsFor(localeCodeset()));
}

qint16 loadDataFile(const QString& path, ArticleSlots& store, const QList<QByteArray>& codecs,
                    const std::atomic<bool>* stop) {
    try {
        WholeNarrowText text = readSteadyText(path, codecs, stop);
        std::vector<ArticleSlots::Lines> slots;
        qint16 separators = 0;
        try {
            separators = findSlots(text, slots);
            if (separators > MaxArticles + 1)
                throw RuntimeError::subscriptOutOfRange(tooManyArticles());
        } catch (const RuntimeError&) {
            store.assign(std::move(text), std::move(slots));
            throw;
        }
        text.releaseUnused();
        store.assign(std::move(text), std::move(slots));
        return int16::add(separators, -1);
    } catch (const std::bad_alloc&) {
        // A collection too large for memory is reported like any other failure
        // instead of taking the program down unexplained.
        throw RuntimeError::outOfMemory(
            QStringLiteral("data.txt 太大，記憶體放不下：%1").arg(path));
    }
}
