#include "core/SearchPattern.h"

#include "text/CharacterVariants.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <memory>

namespace {

// Case and width first, then the variants: they never meet, since the
// variants are all ideographs.
char16_t foldedOnce(char16_t c) {
    // Full-width ASCII (U+FF01..U+FF5E) and the ideographic space.
    if (c >= 0xFF01 && c <= 0xFF5E)
        c = char16_t(c - 0xFEE0);
    else if (c == 0x3000)
        c = u' ';
    if (c >= u'A' && c <= u'Z')
        c = char16_t(c + (u'a' - u'A'));
    return c;
}

using FoldTable = std::array<char16_t, 0x10000>;

// Every unit's folded form, made once from the generated variant table: a
// lookup per character read, since find folds every character it reads.
const FoldTable& foldTable() {
    static const std::unique_ptr<const FoldTable> table = [] {
        auto made = std::make_unique<FoldTable>();
        for (size_t c = 0; c < made->size(); ++c)
            (*made)[c] = foldedOnce(char16_t(c));
        for (const VariantFold fold : variantFolds())
            (*made)[fold.character] = fold.folded;
        return made;
    }();
    return *table;
}

} // namespace

char16_t SearchPattern::folded(char16_t c) {
    return foldTable()[c];
}

std::vector<char16_t> SearchPattern::formsOf(char16_t unit) {
    // Each unit that folds to another, by the unit it folds to, made once.
    using Fold = std::pair<char16_t, char16_t>;
    static const std::vector<Fold> unfolded = [] {
        std::vector<Fold> made;
        const FoldTable& table = foldTable();
        for (size_t c = 0; c < table.size(); ++c) {
            if (table[c] != c && !QChar::isSurrogate(char32_t(c)))
                made.emplace_back(table[c], char16_t(c));
        }
        std::sort(made.begin(), made.end());
        return made;
    }();
    std::vector<char16_t> forms;
    if (folded(unit) == unit)
        forms.push_back(unit);
    const auto [from, to] =
        std::equal_range(unfolded.begin(), unfolded.end(), Fold{unit, 0},
                         [](const Fold& a, const Fold& b) { return a.first < b.first; });
    for (auto it = from; it != to; ++it)
        forms.push_back(it->second);
    return forms;
}

SearchPattern::SearchPattern(QStringView typed) {
    for (const QChar c : typed) {
        if (!isLineEnd(c.unicode()))
            m_units.push_back(folded(c.unicode()));
    }
    m_fallback.assign(m_units.size(), 0);
    for (size_t i = 1, length = 0; i < m_units.size(); ++i) {
        while (length > 0 && m_units[i] != m_units[length])
            length = size_t(m_fallback[length - 1]);
        if (m_units[i] == m_units[length])
            ++length;
        m_fallback[i] = int(length);
    }
}

int SearchPattern::advance(int state, char16_t unit) const {
    if (isLineEnd(unit) || m_units.empty())
        return state;
    const char16_t c = folded(unit);
    if (state == matchState())
        state = m_fallback[size_t(state) - 1];
    while (state > 0 && m_units[size_t(state)] != c)
        state = m_fallback[size_t(state) - 1];
    return m_units[size_t(state)] == c ? state + 1 : 0;
}

std::optional<TextMatch> SearchPattern::scan(QStringView text, qsizetype from,
                                             std::optional<qsizetype> before) const {
    if (isEmpty())
        return std::nullopt;
    const qsizetype count = qsizetype(m_units.size());
    // Where the last `count` units read stand: a match that ends at a unit
    // starts where the unit read count - 1 units before it stands.
    std::vector<qsizetype> read(size_t(count), 0);
    qsizetype readCount = 0;
    int state = 0;
    std::optional<TextMatch> last;
    for (qsizetype at = std::max<qsizetype>(from, 0); at < text.size(); ++at) {
        const char16_t unit = text[at].unicode();
        if (isLineEnd(unit))
            continue;
        // No match still open can start before `before`.
        if (before && at >= *before &&
            (state == 0 || read[size_t((readCount - state) % count)] >= *before))
            break;
        read[size_t(readCount % count)] = at;
        ++readCount;
        state = advance(state, unit);
        if (state != matchState())
            continue;
        const TextMatch match{read[size_t((readCount - count) % count)], at + 1};
        if (!before)
            return match;
        if (match.start < *before)
            last = match;
    }
    return last;
}

std::optional<TextMatch> SearchPattern::nextIn(QStringView text, qsizetype from) const {
    return scan(text, from, std::nullopt);
}

std::optional<TextMatch> SearchPattern::previousIn(QStringView text, qsizetype before) const {
    return scan(text, 0, std::min(before, text.size()));
}

std::optional<TextMatch> SearchPattern::firstIn(QStringView text, SearchDirection direction) const {
    return direction == SearchDirection::Forward ? nextIn(text) : previousIn(text, text.size());
}
