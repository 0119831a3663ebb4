#include "store/DataFile.h"

#include "platform/Int16.h"
#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"
#include "store/FileBytes.h"
#include "text/NarrowText.h"

#include "platform/BackgroundTask.h"

#include <QFile>
#include <QStringView>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <new>
#include <type_traits>
#include <utility>
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

bool startsSeparator(const char* text, qsizetype size, qsizetype at) {
    return at + 2 < size && text[at] == '*' && text[at + 1] == '*' && text[at + 2] == '*';
}

} // namespace

// Catches, on the pass that finds the separator lines, the start of each
// slot's first line that shows anything: enough bytes for a title in any
// encoding, after the blanks that are blank in all of them. The encoding is
// known only once the pass has ended, so they are decoded then.
class TitleCatcher {
public:
    // Enough for LongestTitle + 1 characters of up to 4 bytes.
    static constexpr qsizetype MostBytes = (ArticleTitles::LongestTitle + 2) * 4;

    // A separator line ends at `from`: the lines from there on are the next slot's.
    void slotStarts(const char* text, qsizetype size, qsizetype from) {
        m_caught.push_back({m_bytes.size(), m_bytes.size(), false});
        m_pending = true;
        look(text, size, from);
    }
    // The next piece of whole lines.
    void pieceStarts(const char* text, qsizetype size) {
        if (m_pending)
            look(text, size, 0);
    }

    struct Caught {
        qsizetype from;
        qsizetype to;
        // The line goes on past `to`.
        bool cut;
    };
    // Slot `slot`'s caught bytes; none when they are unknown.
    std::optional<QByteArrayView> bytes(int slot, bool* cut) const {
        if (slot < 1 || size_t(slot) > m_caught.size())
            return std::nullopt;
        const Caught& caught = m_caught[size_t(slot - 1)];
        *cut = caught.cut;
        return QByteArrayView(m_bytes).sliced(caught.from, caught.to - caught.from);
    }

private:
    void look(const char* text, qsizetype size, qsizetype from) {
        while (from < size) {
            if (startsSeparator(text, size, from)) {
                m_pending = false;
                return;
            }
            qsizetype at = from;
            while (at < size && (text[at] == ' ' || text[at] == '\t'))
                ++at;
            if (at < size && !isLineEnd(text[at])) {
                qsizetype end = at;
                for (const qsizetype most = std::min(size, at + MostBytes);
                     end < most && !isLineEnd(text[end]);)
                    ++end;
                // With its line end where it has one: a character cut short
                // by it reads as the whole line's text has it.
                const bool ended = end < size && isLineEnd(text[end]);
                m_bytes.append(text + at, end - at + (ended ? 1 : 0));
                m_caught.back().to = m_bytes.size();
                m_caught.back().cut = end < size && !ended;
                m_pending = false;
                return;
            }
            from = lineAt(text, size, at).next;
        }
    }

    QByteArray m_bytes;
    std::vector<Caught> m_caught;
    bool m_pending = false;
};

namespace {

// Splits the text at its separator lines, in file order, as reading it line by
// line would: only the separator lines are looked at one by one, and each slot
// gets the run of whole lines between two of them. Takes the text whole or in
// pieces of whole lines, and works on bytes and on UTF-16 alike, since line
// ends and "*" are the same in both.
template <typename Char> class SlotFinder {
public:
    // The text starts at `start`; `titles`, where given, catches the slots'
    // titles in the bytes.
    explicit SlotFinder(std::vector<ArticleSlots::Lines>& slots, qsizetype start = 0,
                        TitleCatcher* titles = nullptr)
        : m_slots(slots), m_slotStart(start), m_titles(titles) {}

    // The next piece of the text, which starts at `at`.
    void piece(const Char* text, qsizetype size, qsizetype at) {
        if constexpr (std::is_same_v<Char, char>) {
            if (m_titles)
                m_titles->pieceStarts(text, size);
        }
        for (qsizetype lineStart = 0;;) {
            const qsizetype separator = nextSeparator(text, size, lineStart);
            if (separator == size)
                return;
            if (at + separator > m_slotStart)
                fileLines(m_slotStart, at + separator);
            countSeparator();
            lineStart = lineAt(text, size, separator).next;
            m_slotStart = at + lineStart;
            if constexpr (std::is_same_v<Char, char>) {
                if (m_titles)
                    m_titles->slotStarts(text, size, lineStart);
            }
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
    TitleCatcher* m_titles;
};

// The file's bytes, decoded whole by the text layer.
WholeNarrowText readWholeText(QFile& file, const QString& path, const QList<QByteArray>& codecs,
                              const std::atomic<bool>* stop) {
    FileBytes bytes(file, path, stop);
    bytes.rewind();
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
// `read` gave and the stamp it counted with. `seen` stands for the first look
// before the first read.
template <typename Read>
auto readSteadily(const QString& path, std::optional<FileStamp> seen, Read&& read,
                  const std::function<void(SteadyReadStep)>& afterStep) {
    constexpr int MostReads = 5;
    constexpr qint64 QuietNanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(FileQuietTime).count();
    for (int attempt = 1;; ++attempt) {
        const std::optional<FileStamp> before =
            attempt == 1 && seen ? std::move(seen) : fileStamp(path);
        auto result = read();
        if (afterStep)
            afterStep(SteadyReadStep::Read);
        if (before && before == fileStamp(path)) {
            // A file truncated in place shows empty for a moment with the times
            // of its last write: an empty file counts only once it has stayed so.
            // The clock is read to the nanosecond: in whole milliseconds, a file
            // written within the last one would seem to be from the future.
            const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
            const qint64 quiet =
                before->size == 0 ? 0 : now - std::max(before->modified, before->changed);
            // A stamp in the future (a clock that ran ahead where the file was
            // written) tells nothing of when it was last written: left alone.
            if (quiet < 0 || quiet >= QuietNanoseconds)
                return std::pair(std::move(result), *before);
            pauseWork(std::chrono::nanoseconds(QuietNanoseconds - quiet));
            if (afterStep)
                afterStep(SteadyReadStep::Quiet);
            if (before == fileStamp(path))
                return std::pair(std::move(result), *before);
        }
        if (attempt == MostReads)
            throw RuntimeError::fileAccess(path, QStringLiteral("讀取時檔案一再被改寫。"));
    }
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

template <typename Char>
qint16 findSlots(const Char* text, qsizetype size, std::vector<ArticleSlots::Lines>& slots) {
    SlotFinder<Char> finder(slots);
    finder.piece(text, size, 0);
    return finder.finish(size);
}

// The slots of a text held whole, and its article count.
qint16 findSlots(const WholeNarrowText& text, std::vector<ArticleSlots::Lines>& slots) {
    if (text.keptAsBytes())
        return findSlots(text.bytes(), text.size(), slots);
    return findSlots(text.units(), text.size(), slots);
}

// Finds the separator lines in the bytes of a file handed over a piece at a
// time. Where the file starts with a UTF-8 byte-order mark, whether its first
// line is text or a separator depends on the encoding, which is known only at
// the end: such a file is split both ways, and the failures of either are
// kept until then.
class SlotSink final : public BytePieceSink {
public:
    void piece(QByteArrayView lines, qint64 at) override {
        if (at == 0 && lines.startsWith("\xEF\xBB\xBF"))
            m_afterMark.emplace(3);
        if (!m_afterMark) {
            m_fromStart.piece(lines, at);
            return;
        }
        m_fromStart.pieceOrFailure(lines, at);
        m_afterMark->pieceOrFailure(at == 0 ? lines.sliced(3) : lines, at == 0 ? 3 : at);
    }
    struct Found {
        std::vector<ArticleSlots::Lines> slots;
        qint16 separators;
        TitleCatcher titles;
    };
    // The slots of the text that starts at `textStart`, the separator count
    // and the titles caught.
    Found finish(qint64 textStart) {
        Split& split = textStart > 0 && m_afterMark ? *m_afterMark : m_fromStart;
        if (split.failure)
            std::rethrow_exception(split.failure);
        const qint16 separators = split.finder.finish(split.end);
        return {std::move(split.slots), separators, std::move(split.titles)};
    }

private:
    struct Split {
        explicit Split(qint64 start) : finder(slots, start, &titles), end(start) {}
        Split(const Split&) = delete;
        Split& operator=(const Split&) = delete;
        void piece(QByteArrayView lines, qint64 at) {
            finder.piece(lines.data(), lines.size(), at);
            end = at + lines.size();
        }
        void pieceOrFailure(QByteArrayView lines, qint64 at) {
            if (failure)
                return;
            try {
                piece(lines, at);
            } catch (const RuntimeError&) {
                failure = std::current_exception();
            }
        }
        std::vector<ArticleSlots::Lines> slots;
        TitleCatcher titles;
        SlotFinder<char> finder;
        qint64 end;
        std::exception_ptr failure;
    };
    Split m_fromStart{0};
    std::optional<Split> m_afterMark;
};

} // namespace

// Titles wait as bytes until asked for; the first ask decodes them. The index
// is used on one thread at a time, so the ask needs no lock.
struct DataFileIndex::LazyTitles {
    bool made = false;
    // None where the text is held whole.
    std::optional<TitleCatcher> caught;
    ArticleTitles titles;
};

DataFileIndex::DataFileIndex() = default;
DataFileIndex::~DataFileIndex() = default;
DataFileIndex::DataFileIndex(DataFileIndex&&) noexcept = default;
DataFileIndex& DataFileIndex::operator=(DataFileIndex&&) noexcept = default;

ArticleSlots::Lines DataFileIndex::slotLines(int index) const {
    ArticleSlots::checkIndex(index);
    return size_t(index) < m_slots.size() ? m_slots[size_t(index)] : ArticleSlots::Lines{};
}

std::optional<QString> DataFileIndex::slotText(int index) const {
    const ArticleSlots::Lines lines = slotLines(index);
    if (m_whole)
        return (*m_whole)(index);
    if (lines.from == lines.to || !m_file || !m_codec)
        return QString();
    QByteArray bytes;
    if (!readBytes(lines.from, lines.to, bytes))
        return std::nullopt;
    return storedLines(decodeLinesAlone(*m_codec, bytes));
}

std::optional<QString> DataFileIndex::slotFirstLine(int index, qsizetype longest) const {
    const ArticleSlots::Lines lines = slotLines(index);
    if (m_whole || !m_file || !m_codec) {
        const QString text = m_whole ? (*m_whole)(index) : QString();
        for (qsizetype at = 0; at < text.size();) {
            const LineBounds line = lineAt(text, at);
            if (QString filled = text.sliced(at, line.end - at).trimmed(); !filled.isEmpty())
                return filled;
            at = line.next;
        }
        return QString();
    }
    // A title needs only the start of a line: a first line of megabytes is
    // read and decoded a piece at a time, and only while it shows nothing.
    const qint64 piece = std::max<qint64>(256, longest * 4 + 16);
    QByteArray bytes;
    for (qint64 from = lines.from; from < lines.to;) {
        for (qint64 to = std::min(lines.to, from + piece);;
             to = std::min(lines.to, to * 2 - from)) {
            if (!readBytes(from, to, bytes))
                return std::nullopt;
            const LineBounds line = lineAt(bytes.constData(), bytes.size(), 0);
            const bool whole = line.next > line.end || to == lines.to;
            // A cut line may end inside a character; a whole one is decoded
            // with its line end, as in the whole text.
            QString filled = decodeLinesAlone(
                *m_codec, QByteArrayView(bytes).first(whole ? line.next : line.end));
            if (!whole && !filled.isEmpty())
                filled.chop(1);
            filled = filled.trimmed();
            if (!filled.isEmpty() && (whole || filled.size() >= longest))
                return filled;
            if (whole) {
                from += line.next;
                break;
            }
        }
    }
    return QString();
}

const ArticleTitles& DataFileIndex::titles() const {
    static const ArticleTitles none;
    if (!m_titles)
        return none;
    if (!std::exchange(m_titles->made, true)) {
        makeTitles(m_titles->caught ? &*m_titles->caught : nullptr, m_titles->titles);
        m_titles->caught.reset();
    }
    return m_titles->titles;
}

void DataFileIndex::makeTitles(const TitleCatcher* caught, ArticleTitles& titles) const {
    for (int article = 1; article <= m_count; ++article) {
        bool cut = false;
        const std::optional<QByteArrayView> bytes =
            caught && m_codec ? caught->bytes(article, &cut) : std::nullopt;
        if (bytes) {
            QString line = decodeLinesAlone(*m_codec, *bytes);
            // A cut line may end inside a character.
            if (cut && !line.isEmpty())
                line.chop(1);
            // The bytes tell blanks in every encoding but the wider ones;
            // a line that turns out blank or short after them is read again.
            const QStringView title = QStringView(line).trimmed();
            if (bytes->isEmpty() ||
                (cut ? title.size() > ArticleTitles::LongestTitle : !title.isEmpty())) {
                titles.append(title);
                continue;
            }
        }
        titles.append(slotFirstLine(article, ArticleTitles::LongestTitle + 1).value_or(QString()));
    }
    titles.squeeze();
}

const TextCodec* DataFileIndex::bytesCodec() const {
    return m_whole || !m_file || !m_codec ? nullptr : &*m_codec;
}

bool DataFileIndex::readBytes(qint64 from, qint64 to, QByteArray& into) const {
    if (!m_file || from < 0 || to < from)
        return false;
    // The last line may end with the LF that reading the text whole adds.
    const qint64 inFile = std::min<qint64>(to, m_stamp.size) - from;
    if (inFile < 0)
        return false;
    into.resize(to - from);
    std::fill(into.begin() + inFile, into.end(), '\n');
    return readFileAt(*m_file, from, into.data(), inFile) &&
           sameContents(fileStamp(*m_file).value_or(FileStamp()), m_stamp);
}

DataFileIndex::SlotCopy DataFileIndex::copyOf(int index, QString text) const {
    const ArticleSlots::Lines lines = slotLines(index);
    return {std::move(text), lines.to - lines.from, bytesCodec() ? m_codec->name : QByteArray()};
}

bool DataFileIndex::holds(int index, const SlotCopy& copy) const {
    const ArticleSlots::Lines lines = slotLines(index);
    if (bytesCodec() && copy.keptAs == m_codec->name && lines.to - lines.from != copy.size)
        return false;
    return slotText(index) == copy.text;
}

DataFileIndex indexDataFile(const QString& path, const QList<QByteArray>& codecs,
                            const std::atomic<bool>* stop, std::optional<FileStamp> seen,
                            const std::function<void(SteadyReadStep)>& afterStep) {
    const auto index = [&] {
        DataFileIndex made;
        made.m_file = std::make_unique<QFile>();
        openRegularFile(*made.m_file, path);
        FileBytes bytes(*made.m_file, path, stop);
        SlotSink sink;
        const std::optional<NarrowTextScan> scanned = scanNarrowText(bytes, codecs, sink);
        if (!scanned)
            throwUnknownEncoding(path);
        auto [slots, separators, titles] = sink.finish(scanned->textStart);
        if (scanned->linesAlone) {
            made.m_count = articleCount(separators);
            made.m_codec = scanned->codec;
            made.m_slots = std::move(slots);
            made.m_slots.shrink_to_fit();
            made.m_titles = std::make_unique<DataFileIndex::LazyTitles>();
            made.m_titles->caught = std::move(titles);
            return made;
        }
        // Lines that cannot be decoded one by one: the text is held whole.
        WholeNarrowText text = readWholeText(*made.m_file, path, codecs, stop);
        slots.clear();
        made.m_count = articleCount(findSlots(text, slots));
        text.releaseUnused();
        made.m_whole = std::make_unique<ArticleSlots>();
        made.m_whole->assign(std::move(text), std::move(slots));
        made.m_file.reset();
        made.m_titles = std::make_unique<DataFileIndex::LazyTitles>();
        return made;
    };
    try {
        auto [made, stamp] = readSteadily(path, std::move(seen), index, afterStep);
        made.m_stamp = stamp;
        return std::move(made);
    } catch (const std::bad_alloc&) {
        throw collectionTooLarge(path);
    }
}
