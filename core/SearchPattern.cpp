#include "core/SearchPattern.h"

#include <algorithm>

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

std::optional<TextMatch> SearchPattern::firstIn(QStringView text, SearchDirection direction) const {
    return direction == SearchDirection::Forward ? nextIn(text) : previousIn(text, text.size());
}
