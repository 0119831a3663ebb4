#include "core/TextSearch.h"

#include "core/EncodedSearch.h"
#include "store/DataFile.h"

#include <QByteArray>

#include <algorithm>
#include <cstdlib>

char16_t SearchPattern::folded(char16_t c) {
    // Full-width ASCII (U+FF01..U+FF5E) and the ideographic space.
    if (c >= 0xFF01 && c <= 0xFF5E)
        c = char16_t(c - 0xFEE0);
    else if (c == 0x3000)
        c = u' ';
    if (c >= u'A' && c <= u'Z')
        c = char16_t(c + (u'a' - u'A'));
    return c;
}

SearchPattern::SearchPattern(QStringView typed) {
    for (const QChar c : typed) {
        if (!isLineEnd(c.unicode()))
            m_units.push_back(folded(c.unicode()));
    }
}

std::optional<qsizetype> SearchPattern::matchAt(QStringView text, qsizetype start) const {
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    qsizetype at = start;
    for (size_t i = 0; i < m_units.size(); ++i) {
        // Line ends between the characters, never before the first.
        while (i > 0 && at < size && isLineEnd(units[at]))
            ++at;
        if (at >= size || folded(units[at]) != m_units[i])
            return std::nullopt;
        ++at;
    }
    return at;
}

std::optional<TextMatch> SearchPattern::nextIn(QStringView text, qsizetype from) const {
    if (isEmpty())
        return std::nullopt;
    const char16_t* units = text.utf16();
    const char16_t first = m_units.front();
    for (qsizetype start = std::max<qsizetype>(from, 0); start < text.size(); ++start) {
        if (folded(units[start]) != first)
            continue;
        if (const std::optional<qsizetype> end = matchAt(text, start))
            return TextMatch{start, *end};
    }
    return std::nullopt;
}

std::optional<TextMatch> SearchPattern::previousIn(QStringView text, qsizetype before) const {
    if (isEmpty())
        return std::nullopt;
    const char16_t* units = text.utf16();
    const char16_t first = m_units.front();
    for (qsizetype start = std::min(before, text.size()) - 1; start >= 0; --start) {
        if (folded(units[start]) != first)
            continue;
        if (const std::optional<qsizetype> end = matchAt(text, start))
            return TextMatch{start, *end};
    }
    return std::nullopt;
}

std::vector<int> searchOrder(int current, int count, SearchDirection direction) {
    std::vector<int> order;
    if (count < 1)
        return order;
    const bool inside = current >= 1 && current <= count;
    const int step = direction == SearchDirection::Forward ? 1 : -1;
    int article = inside ? current : (step > 0 ? count : 1);
    for (int i = inside ? 1 : 0; i < count; ++i) {
        article += step;
        if (article > count)
            article = 1;
        else if (article < 1)
            article = count;
        order.push_back(article);
    }
    return order;
}

namespace {

// Articles are read from the file this many bytes at a time, so that what
// was read is searched while it is still in the cache.
constexpr qint64 BlockBytes = qint64(1024) << 10;

std::optional<int> findDecoded(const SearchPattern& pattern, const DataFileIndex& collection,
                               const std::vector<int>& order, const std::atomic<bool>& stop) {
    for (const int article : order) {
        if (stop.load(std::memory_order_relaxed))
            return std::nullopt;
        if (const std::optional<QString> text = collection.slotText(article);
            text && pattern.nextIn(*text))
            return article;
    }
    return std::nullopt;
}

} // namespace

std::optional<int> findArticle(const SearchPattern& pattern, const DataFileIndex& collection,
                               const std::vector<int>& order, const std::atomic<bool>& stop) {
    const TextCodec* codec = collection.bytesCodec();
    const std::optional<EncodedSearch> search =
        codec ? EncodedSearch::make(pattern, *codec) : std::nullopt;
    if (!search)
        return findDecoded(pattern, collection, order, stop);
    if (pattern.isEmpty())
        return std::nullopt;
    QByteArray block;
    // Kept, so that no block faults in fresh pages.
    block.reserve(BlockBytes);
    // A block is a run of articles next to each other in the file, in either
    // direction, read at once; the articles in it are searched in order.
    for (size_t first = 0; first < order.size();) {
        if (stop.load(std::memory_order_relaxed))
            return std::nullopt;
        qint64 from = -1;
        qint64 to = -1;
        size_t end = first;
        for (; end < order.size(); ++end) {
            if (end > first && std::abs(order[end] - order[end - 1]) != 1)
                break;
            const ArticleSlots::Lines lines = collection.slotLines(order[end]);
            if (lines.from == lines.to)
                continue;
            const qint64 newFrom = from < 0 ? lines.from : std::min<qint64>(from, lines.from);
            const qint64 newTo = std::max<qint64>(to, lines.to);
            if (from >= 0 && newTo - newFrom > BlockBytes)
                break;
            from = newFrom;
            to = newTo;
        }
        const bool read = from >= 0 && collection.readBytes(from, to, block);
        for (size_t i = first; read && i < end; ++i) {
            const ArticleSlots::Lines lines = collection.slotLines(order[i]);
            if (lines.from != lines.to && search->matchesIn(QByteArrayView(block).sliced(
                                              lines.from - from, lines.to - lines.from)))
                return order[i];
        }
        first = end;
    }
    return std::nullopt;
}
