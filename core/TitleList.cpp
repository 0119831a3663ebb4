#include "core/TitleList.h"

#include "core/EncodedSearch.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <algorithm>

namespace {

constexpr char16_t Ellipsis = u'…';

} // namespace

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

// The excerpt around the first match that the bytes hold, decoding only its
// line up to a little past the match.
std::optional<TitleRow> excerptInBytes(QByteArrayView bytes, const EncodedSearch::Matches& found,
                                       const SearchPattern& pattern, const TextCodec& codec) {
    // Where only the match's end is known, its line is taken to be the line
    // it ends on; a match found there must end at that end, or the article is
    // decoded whole.
    qsizetype from = found.firstStart >= 0 ? found.firstStart : found.firstEnd - 1;
    while (from > 0 && !isLineEnd(bytes[from - 1]))
        --from;
    // Enough bytes for the characters shown after the match, and one more
    // to tell that the line goes on.
    const qsizetype most = std::min(bytes.size(), found.firstEnd + (ExcerptAfter + 2) * 4);
    qsizetype to = found.firstEnd;
    while (to < most && !isLineEnd(bytes[to]))
        ++to;
    const QString text = decodeLinesAlone(codec, bytes.sliced(from, to - from));
    const std::optional<TextMatch> match = pattern.nextIn(text);
    if (!match ||
        (found.firstStart < 0 &&
         match->end != decodeLinesAlone(codec, bytes.sliced(from, found.firstEnd - from)).size()))
        return std::nullopt;
    return excerptAround(text, *match);
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
        if (lines.from == lines.to || !collection.readBytes(lines.from, lines.to, bytes))
            continue;
        const EncodedSearch::Matches found = search->matchesOf(bytes);
        if (found.count == 0)
            continue;
        if (std::optional<TitleRow> row = excerptInBytes(bytes, found, pattern, *codec)) {
            row->article = article;
            row->matches = found.count;
            rows.push_back(std::move(*row));
        } else {
            addTextRow(rows, article, pattern, storedLines(decodeLinesAlone(*codec, bytes)));
        }
    }
    return rows;
}
