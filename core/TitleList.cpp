#include "core/TitleList.h"

#include "core/EncodedSearch.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <algorithm>

namespace {

constexpr char16_t Ellipsis = u'…';

// Cut to `longest` characters with an ellipsis, never inside a surrogate pair.
QString cutWithEllipsis(QStringView text, qsizetype longest) {
    if (text.size() <= longest)
        return text.toString();
    qsizetype cut = longest - 1;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return text.first(cut).toString() + Ellipsis;
}

} // namespace

ArticleTitles::ArticleTitles(const DataFileIndex& collection, const std::atomic<bool>* stop) {
    m_ends.reserve(size_t(collection.count()));
    for (int article = 1; article <= collection.count(); ++article) {
        if (stop && stop->load(std::memory_order_relaxed))
            return;
        const std::optional<QString> line = collection.slotFirstLine(article, LongestTitle + 1);
        m_text += cutWithEllipsis(line.value_or(QString()), LongestTitle);
        m_ends.push_back(m_text.size());
    }
    m_text.squeeze();
}

QStringView ArticleTitles::title(int article) const {
    if (article < 1 || article > count())
        return {};
    const qsizetype from = article == 1 ? 0 : m_ends[size_t(article - 2)];
    return QStringView(m_text).sliced(from, m_ends[size_t(article - 1)] - from);
}

std::optional<int> typedArticleNumber(QStringView typed, int count) {
    QString digits;
    for (const QChar c : typed.trimmed())
        digits += QChar(SearchPattern::folded(c.unicode()));
    bool isNumber = false;
    const int number = digits.toInt(&isNumber);
    if (!isNumber || number < 1 || number > count)
        return std::nullopt;
    return number;
}

std::vector<TitleRow> filterTitles(const ArticleTitles& titles, QStringView typed) {
    std::vector<TitleRow> rows;
    const SearchPattern pattern(typed);
    const std::optional<int> number = typedArticleNumber(typed, titles.count());
    if (number)
        rows.push_back(TitleRow{*number, 0, {}, {}});
    for (int article = 1; article <= titles.count(); ++article) {
        if (article != number && (pattern.isEmpty() || pattern.nextIn(titles.title(article))))
            rows.push_back(TitleRow{article, 0, {}, {}});
    }
    return rows;
}

TitleRow excerptAround(QStringView text, TextMatch match) {
    qsizetype lineStart = match.start;
    while (lineStart > 0 && !SearchPattern::isLineEnd(text[lineStart - 1].unicode()))
        --lineStart;
    const qsizetype lineEnd = lineAt(text, match.start).end;
    // A match across a line end shows up to that end.
    const qsizetype end = std::min(match.end, lineEnd);
    qsizetype from = std::max(lineStart, match.start - ExcerptBefore);
    qsizetype to = std::min(lineEnd, end + ExcerptAfter);
    if (from > lineStart && text[from].isLowSurrogate())
        --from;
    if (to < lineEnd && text[to - 1].isHighSurrogate())
        ++to;
    TitleRow row;
    if (from > lineStart)
        row.excerpt += Ellipsis;
    row.marked.start = row.excerpt.size() + match.start - from;
    row.marked.end = row.marked.start + end - match.start;
    row.excerpt += text.sliced(from, to - from);
    if (to < lineEnd)
        row.excerpt += Ellipsis;
    return row;
}

namespace {

// Adds the row of an article whose text holds a match.
void addTextRow(std::vector<TitleRow>& rows, int article, const SearchPattern& pattern,
                QStringView text) {
    std::optional<TextMatch> match = pattern.nextIn(text);
    if (!match)
        return;
    TitleRow row = excerptAround(text, *match);
    row.article = article;
    for (; match; match = pattern.nextIn(text, match->end))
        ++row.matches;
    rows.push_back(std::move(row));
}

} // namespace

std::optional<std::vector<TitleRow>> filterTexts(const DataFileIndex& collection, QStringView typed,
                                                 const std::atomic<bool>& stop) {
    const SearchPattern pattern(typed);
    std::vector<TitleRow> rows;
    if (pattern.isEmpty())
        return rows;
    const TextCodec* codec = collection.bytesCodec();
    const std::optional<EncodedSearch> search =
        codec ? EncodedSearch::make(pattern, *codec) : std::nullopt;
    QByteArray bytes;
    for (int article = 1; article <= collection.count(); ++article) {
        if (stop.load(std::memory_order_relaxed))
            return std::nullopt;
        if (!search) {
            addTextRow(rows, article, pattern, collection.slotText(article).value_or(QString()));
            continue;
        }
        const ArticleSlots::Lines lines = collection.slotLines(article);
        if (lines.from == lines.to || !collection.readBytes(lines.from, lines.to, bytes) ||
            !search->matchesIn(bytes))
            continue;
        addTextRow(rows, article, pattern, storedLines(decodeLinesAlone(*codec, bytes)));
    }
    return rows;
}
