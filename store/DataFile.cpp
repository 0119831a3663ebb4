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
// gets the run of whole lines between two of them. Takes the text whole or in
// pieces of whole lines, and works on bytes and on UTF-16 alike, since line
// ends and "*" are the same in both.
template <typename Char> class SlotFinder {
public:
    // The text starts at `start`.
    explicit SlotFinder(std::vector<ArticleSlots::Lines>& slots, qsizetype start = 0)
        : m_slots(slots), m_slotStart(start) {}

    // The next piece of the text, which starts at `at`.
    void piece(const Char* text, qsizetype size, qsizetype at) {
        for (qsizetype lineStart = 0;;) {
            const qsizetype separator = nextSeparator(text, size, lineStart);
            if (separator == size)
                return;
            if (at + separator > m_slotStart)
                fileLines(m_slotStart, at + separator);
            countSeparator();
            lineStart = lineAt(text, size, separator).next;
            m_slotStart = at + lineStart;
        }
    }

    // The text ends at `size`. Returns the number of separator lines.
    qint16 finish(qsizetype size) {
        if (size > m_slotStart)
            fileLines(m_slotStart, size);
        return m_index;
    }

private:
    static bool startsSeparator(const Char* text, qsizetype size, qsizetype at) {
        return at + 2 < size && text[at] == '*' && text[at + 1] == '*' && text[at + 2] == '*';
    }

    // The start of the first separator line at or after `from`, which starts a
    // line; the end of the piece when there is none.
    static qsizetype nextSeparator(const Char* text, qsizetype size, qsizetype from) {
        if (from >= size)
            return size;
        if (startsSeparator(text, size, from))
            return from;
        for (qsizetype at = findStar(text, size, from + 1); at >= 0;
             at = findStar(text, size, at + 1)) {
            if (isLineEnd(text[at - 1]) && startsSeparator(text, size, at))
                return at;
        }
        return size;
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

    std::vector<ArticleSlots::Lines>& m_slots;
    // Where the lines of the slot being read start.
    qsizetype m_slotStart = 0;
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
// leaves it unchanged, empty or part-written, between its writes. Returns what
// `read` gave and the stamp it counted with.
template <typename Stamp, typename Read>
auto readSteadily(const QString& path, Stamp&& stampNow, Read&& read) {
    constexpr int MostReads = 5;
    constexpr qint64 QuietNanoseconds = 50'000'000;
    for (int attempt = 1;; ++attempt) {
        const std::optional<FileStamp> before = stampNow();
        auto result = read();
        if (before && before == stampNow()) {
            const qint64 quiet = QDateTime::currentMSecsSinceEpoch() * 1'000'000 -
                                 std::max(before->modified, before->changed);
            // A stamp in the future (a clock that ran ahead where the file was
            // written) tells nothing of when it was last written: left alone.
            if (quiet < 0 || quiet >= QuietNanoseconds)
                return std::pair(std::move(result), *before);
            std::this_thread::sleep_for(std::chrono::nanoseconds(QuietNanoseconds - quiet));
            if (before == stampNow())
                return std::pair(std::move(result), *before);
        }
        if (attempt == MostReads)
            throw RuntimeError::fileAccess(path, QStringLiteral("讀取時檔案一再被改寫。"));
    }
}

WholeNarrowText readSteadyText(const QString& path, const QList<QByteArray>& codecs,
                               const std::atomic<bool>* stop, FileStamp* stamp) {
    auto [text, steady] = readSteadily(
        path, [&] { return fileStamp(path); }, [&] { return readWholeText(path, codecs, stop); });
    if (stamp)
        *stamp = steady;
    return std::move(text);
}

template <typename Char>
qint16 findSlots(const Char* text, qsizetype size, std::vector<ArticleSlots::Lines>& slots) {
    SlotFinder<Char> finder(slots);
    finder.piece(text, size, 0);
    return finder.finish(size);
}

qint16 findSlots(const WholeNarrowText& text, std::vector<ArticleSlots::Lines>& slots) {
    if (text.keptAsBytes())
        return findSlots(text.bytes(), text.size(), slots);
    return findSlots(text.units(), text.size(), slots);
}

// Whether two stamps of one open file show the same contents: removing or
// renaming the file changes its entry, not them.
bool sameContents(const FileStamp& a, const FileStamp& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified == b.modified;
}

// A collection too large for memory is reported like any other failure
// instead of taking the program down unexplained.
RuntimeError collectionTooLarge(const QString& path) {
    return RuntimeError::outOfMemory(QStringLiteral("data.txt 太大，記憶體放不下：%1").arg(path));
}

qint16 articleCount(qint16 separators) {
    if (separators > MaxArticles + 1)
        throw RuntimeError::subscriptOutOfRange(tooManyArticles());
    return int16::add(separators, -1);
}

// Fills the store from the text that `readText` gives, as loadDataFile()
// describes.
template <typename Read>
qint16 fillStore(const QString& path, ArticleSlots& store, Read&& readText) {
    try {
        WholeNarrowText text = readText();
        std::vector<ArticleSlots::Lines> slots;
        qint16 count = 0;
        try {
            count = articleCount(findSlots(text, slots));
        } catch (const RuntimeError&) {
            store.assign(std::move(text), std::move(slots));
            throw;
        }
        text.releaseUnused();
        store.assign(std::move(text), std::move(slots));
        return count;
    } catch (const std::bad_alloc&) {
        throw collectionTooLarge(path);
    }
}

// Finds the separator lines in the bytes of a text handed over a piece at a time.
class SlotSink final : public BytePieceSink {
public:
    // Starts afresh, whatever `slots` held.
    explicit SlotSink(std::vector<ArticleSlots::Lines>& slots) : m_slots(slots) { restart(); }

    void restart() override {
        m_slots.clear();
        m_finder.reset();
        m_end = 0;
    }
    void piece(QByteArrayView lines, qint64 at) override {
        // The text starts with the first piece, after any byte-order mark.
        if (!m_finder)
            m_finder.emplace(m_slots, at);
        m_finder->piece(lines.data(), lines.size(), at);
        m_end = at + lines.size();
    }
    qint16 finish() { return m_finder ? m_finder->finish(m_end) : 0; }

private:
    std::vector<ArticleSlots::Lines>& m_slots;
    std::optional<SlotFinder<char>> m_finder;
    qint64 m_end = 0;
};

} // namespace

qint16 loadDataFile(const QString& path, ArticleSlots& store, FileStamp* stamp) {
    return loadDataFile(path, store, narrowCodecsFor(localeCodeset()), nullptr, stamp);
}

qint16 loadDataFile(const QString& path, ArticleSlots& store, const QList<QByteArray>& codecs,
                    const std::atomic<bool>* stop, FileStamp* stamp) {
    return fillStore(path, store, [&] { return readSteadyText(path, codecs, stop, stamp); });
}

bool DataFileOutline::read(const QString& path, const QList<QByteArray>& codecs,
                           const std::atomic<bool>* stop) {
    m_path = path;
    m_codecs = codecs;
    m_codec.reset();
    const auto scan = [&] {
        m_file.close();
        openRegularFile(m_file, path);
        FileBytes bytes(m_file, path, stop);
        SlotSink sink(m_slots);
        std::optional<NarrowTextScan> scanned = scanNarrowText(bytes, codecs, sink);
        const qint16 separators = sink.finish();
        return std::pair(std::move(scanned), separators);
    };
    auto [scanned, stamp] = [&] {
        try {
            return readSteadily(
                path, [&] { return fileStamp(path); }, scan);
        } catch (const std::bad_alloc&) {
            throw collectionTooLarge(path);
        }
    }();
    if (!scanned.first)
        return false;
    m_count = articleCount(scanned.second);
    m_stamp = stamp;
    m_codec = scanned.first->codec;
    m_reserved = std::move(scanned.first->reserved);
    return true;
}

std::optional<QString> DataFileOutline::slotText(int index) const {
    ArticleSlots::checkIndex(index);
    if (!m_codec)
        return std::nullopt;
    if (size_t(index) >= m_slots.size() || m_slots[size_t(index)].from == m_slots[size_t(index)].to)
        return QString();
    const ArticleSlots::Lines lines = m_slots[size_t(index)];
    // The last line may end with the LF that reading the text whole adds.
    const qint64 inFile = std::min<qint64>(lines.to, m_stamp.size) - lines.from;
    QByteArray bytes(lines.to - lines.from, '\n');
    if (inFile < 0 || !readFileAt(m_file, lines.from, bytes.data(), inFile) ||
        !sameContents(fileStamp(m_file).value_or(FileStamp()), m_stamp))
        return std::nullopt;
    return storedLines(decodeLinesAlone(*m_codec, bytes));
}

qint16 DataFileOutline::load(ArticleSlots& store, const std::atomic<bool>* stop) {
    const auto readText = [&] {
        FileBytes bytes(m_file, m_path, stop);
        bytes.rewind();
        std::optional<WholeNarrowText> text =
            decodeWholeNarrowText(bytes, m_codecs, std::move(m_reserved));
        if (!text)
            throwUnknownEncoding(m_path);
        return std::move(*text);
    };
    m_loadedAsRead = false;
    return fillStore(m_path, store, [&] {
        auto [text, stamp] = readSteadily(
            m_path, [&] { return fileStamp(m_file); }, readText);
        m_loadedAsRead = sameContents(stamp, m_stamp);
        return std::move(text);
    });
}

void DataFileOutline::clear() {
    m_file.close();
    m_codec.reset();
    m_slots = {};
    m_reserved = LargeBuffer();
    m_count = 0;
}
