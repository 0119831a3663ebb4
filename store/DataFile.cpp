#include "store/DataFile.h"

#include "platform/Big5Decoder.h"
#include "platform/Int16.h"
#include "platform/NarrowText.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"

#include <QFileInfo>

#include <new>
#include <optional>
#include <thread>

namespace {

QString tooManyArticles() {
    return QStringLiteral("data.txt 的文章多於本程式能保存的數量：最多 %1 篇"
                          "（%2 行以 *** 開頭的分隔行）。")
        .arg(MaxArticles)
        .arg(MaxArticles + 1);
}

// Files whole runs of text lines at once: the store copies each run in one go,
// and only separator lines are looked at one by one.
class ArticleFiler final : public TextSink {
public:
    explicit ArticleFiler(ArticleSlots& store) : m_store(store) {}

    void restart() override {
        m_store.clear();
        m_index = 0;
    }

    void lines(QStringView piece) override {
        qsizetype pos = 0;
        while (pos < piece.size()) {
            const qsizetype separator = nextSeparator(piece, pos);
            if (separator > pos)
                fileText(piece.sliced(pos, separator - pos));
            if (separator == piece.size())
                return;
            countSeparator();
            pos = lineAt(piece, separator).next;
        }
    }

    qint16 index() const { return m_index; }

private:
    // The start of the first separator line at or after `from`, which starts a
    // line; the end of the piece when there is none.
    static qsizetype nextSeparator(QStringView piece, qsizetype from) {
        if (piece.sliced(from).startsWith(u"***"))
            return from;
        for (qsizetype at = piece.indexOf(u'*', from + 1); at >= 0;
             at = piece.indexOf(u'*', at + 1)) {
            if (isLineEnd(piece[at - 1].unicode()) && piece.sliced(at).startsWith(u"***"))
                return at;
        }
        return piece.size();
    }

    void countSeparator() {
        m_store.finishSlot(m_index);
        try {
            m_index = int16::add(m_index, 1);
        } catch (const RuntimeError& error) {
            throw RuntimeError(error.number(), error.description(), tooManyArticles());
        }
    }

    void fileText(QStringView text) {
        if (m_index > ArticleSlots::LastSlot)
            throw RuntimeError::subscriptOutOfRange(tooManyArticles());
        m_store.appendLines(m_index, text);
    }

    ArticleSlots& m_store;
    qint16 m_index = 0;
};

} // namespace

qint16 loadDataFile(const QString& path, ArticleSlots& store) {
    return loadDataFile(path, store, narrowCodecsFor(localeCodeset()));
}

std::optional<qint16> loadDataFileInTwo(const QString& path, ArticleSlots& store,
                                        const QList<QByteArray>& codecs, qint64 cut) {
    // Only in these converters is every LF byte a line end, never part of a
    // character, so that each part decodes on its own as it would in one pass.
    for (const QByteArray& codec : codecs) {
        if (codec != "UTF-8" && codec != Big5CodecName)
            return std::nullopt;
    }
    const qint64 size = QFileInfo(path).size();
    if (cut <= 0 || cut >= size)
        return std::nullopt;
    try {
        for (qsizetype i = 0; i < codecs.size(); ++i) {
            const bool strict = i + 1 < codecs.size();
            // A Big5 file is told from UTF-8 by its first bytes: no need to
            // start both parts for that.
            if (strict && !narrowTextStartDecodes(path, codecs[i]))
                continue;
            store.clear();
            ArticleSlots tail;
            ArticleFiler headFiler(store);
            ArticleFiler tailFiler(tail);
            std::optional<bool> headDecoded;
            std::thread head([&] {
                try {
                    headDecoded = readNarrowTextPart(path, 0, cut, codecs[i], strict, headFiler);
                } catch (...) {
                    // Left unset: the one-pass read finds and reports the failure.
                }
            });
            bool tailDecoded = false;
            try {
                tailDecoded = readNarrowTextPart(path, cut, size, codecs[i], strict, tailFiler);
            } catch (...) {
                head.join();
                throw;
            }
            head.join();
            if (!headDecoded)
                return std::nullopt;
            if (!*headDecoded || !tailDecoded)
                continue; // not this converter: the next one reads both parts again
            const int separators = headFiler.index() + tailFiler.index();
            // Too many articles: the one-pass read raises the error it meets first.
            if (separators > MaxArticles + 1)
                return std::nullopt;
            store.appendStore(headFiler.index(), tail, tailFiler.index());
            store.finishSlot(separators);
            return qint16(separators - 1);
        }
    } catch (...) {
        // Anything else (no thread, no memory, a read error) is for the
        // one-pass read to meet and report.
    }
    return std::nullopt;
}

qint16 loadDataFile(const QString& path, ArticleSlots& store, const QList<QByteArray>& codecs) {
    // A large file decodes in two parts at once, one on another core; with a
    // single core that would only add work.
    const bool twoCores = std::thread::hardware_concurrency() != 1;
    if (const qint64 cut = twoCores ? narrowTextCut(path) : 0; cut > 0) {
        if (const std::optional<qint16> count = loadDataFileInTwo(path, store, codecs, cut))
            return *count;
        store.clear();
    }
    return loadDataFileInOnePass(path, store, codecs);
}

qint16 loadDataFileInOnePass(const QString& path, ArticleSlots& store,
                             const QList<QByteArray>& codecs) {
    ArticleFiler filer(store);
    try {
        readNarrowTextLines(path, filer, codecs);
    } catch (const std::bad_alloc&) {
        // A collection too large for memory is reported like any other failure
        // instead of taking the program down unexplained.
        throw RuntimeError::outOfMemory(
            QStringLiteral("data.txt 太大，記憶體放不下：%1").arg(path));
    }
    store.finishSlot(filer.index());
    if (filer.index() > MaxArticles + 1)
        throw RuntimeError::subscriptOutOfRange(tooManyArticles());
    return int16::add(filer.index(), -1);
}
