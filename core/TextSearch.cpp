#include "core/TextSearch.h"

#include "core/EncodedSearch.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <QByteArray>

#include <algorithm>
#include <cstdlib>

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

std::optional<FoundArticle> findDecoded(const SearchPattern& pattern,
                                        const DataFileIndex& collection,
                                        const std::vector<int>& order, SearchDirection direction,
                                        const std::atomic<bool>& stop) {
    for (const int article : order) {
        if (stop.load(std::memory_order_relaxed))
            return std::nullopt;
        std::optional<QString> text = collection.slotText(article);
        if (!text)
            continue;
        if (const std::optional<TextMatch> match = pattern.firstIn(*text, direction))
            return FoundArticle{article, std::move(*text), *match};
    }
    return std::nullopt;
}

} // namespace

std::optional<FoundArticle> findArticle(const SearchPattern& pattern,
                                        const DataFileIndex& collection,
                                        const std::vector<int>& order, SearchDirection direction,
                                        const std::atomic<bool>& stop) {
    const TextCodec* codec = collection.bytesCodec();
    const std::optional<EncodedSearch> search =
        codec ? EncodedSearch::make(pattern, *codec) : std::nullopt;
    if (!search)
        return findDecoded(pattern, collection, order, direction, stop);
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
            const QByteArrayView bytes =
                QByteArrayView(block).sliced(lines.from - from, lines.to - lines.from);
            if (lines.from == lines.to || !search->matchesIn(bytes))
                continue;
            // Decoded from the bytes in hand, as the index would decode them.
            QString text = storedLines(decodeLinesAlone(*codec, bytes));
            if (const std::optional<TextMatch> match = pattern.firstIn(text, direction))
                return FoundArticle{order[i], std::move(text), *match};
        }
        first = end;
    }
    return std::nullopt;
}
