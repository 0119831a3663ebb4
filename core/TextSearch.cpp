#include "core/TextSearch.h"

#include <algorithm>

namespace {

bool isLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n' || c == u'\u2029';
}

// One form for the characters that match each other.
char16_t folded(char16_t c) {
    // Full-width ASCII (U+FF01..U+FF5E) and the ideographic space.
    if (c >= 0xFF01 && c <= 0xFF5E)
        c = char16_t(c - 0xFEE0);
    else if (c == 0x3000)
        c = u' ';
    if (c >= u'A' && c <= u'Z')
        c = char16_t(c + (u'a' - u'A'));
    return c;
}

} // namespace

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

std::optional<int> findArticle(const SearchPattern& pattern, const std::vector<int>& order,
                               const std::function<std::optional<QString>(int)>& articleText,
                               const std::atomic<bool>& stop) {
    for (const int article : order) {
        if (stop.load(std::memory_order_relaxed))
            return std::nullopt;
        if (const std::optional<QString> text = articleText(article); text && pattern.nextIn(*text))
            return article;
    }
    return std::nullopt;
}
