#include "text/VerticalColumns.h"

#include "text/NarrowText.h"

#include <QHash>
#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

#include <limits>
#include <string_view>

namespace vertical {

namespace {

// The column-end rules, after the usage of Chinese typesetting: closing
// marks and sentence marks never begin a column, opening marks never end one,
// and the small sentence marks may hang below a full column.
constexpr std::u16string_view NoColumnStart = u"。．，、：；！？）」』〉》】〕〗…‥";
constexpr std::u16string_view NoColumnEnd = u"（「『〈《【〔〖";
constexpr std::u16string_view Hanging = u"。．，、";

bool listed(std::u16string_view list, char32_t c) {
    return c <= 0xFFFF && list.find(char16_t(c)) != std::u16string_view::npos;
}

// Every character that Unicode decomposes as the vertical form of one other,
// filed under that other; the first form wins where two share one.
const QHash<char32_t, char32_t>& verticalForms() {
    static const QHash<char32_t, char32_t> forms = [] {
        QHash<char32_t, char32_t> found;
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            if (QChar::decompositionTag(c) != QChar::Vertical)
                continue;
            const QString original = QChar::decomposition(c);
            if (original.size() == 1 && !found.contains(original[0].unicode()))
                found.insert(original[0].unicode(), c);
        }
        return found;
    }();
    return forms;
}

int orientationOf(char32_t c) {
    return u_getIntPropertyValue(UChar32(c), UCHAR_VERTICAL_ORIENTATION);
}

char32_t codePointAt(QStringView text, qsizetype pos) {
    const QChar c = text[pos];
    if (c.isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[pos + 1]);
    return c.unicode();
}

char32_t codePointBefore(QStringView text, qsizetype pos) {
    if (pos >= 2 && text[pos - 1].isLowSurrogate() && text[pos - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[pos - 2], text[pos - 1]);
    return text[pos - 1].unicode();
}

bool isIdeograph(char32_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Breaks one line, [start, end) of the text, into columns.
class LineBreaker {
public:
    LineBreaker(QStringView text, qsizetype start, qsizetype end, const ColumnMetrics& metrics)
        : m_text(text), m_start(start), m_end(end), m_metrics(metrics) {}

    // Appends the line's columns, stopping once `columns` holds `enough` with
    // some of the line left. Returns where that rest starts, or the line's
    // end once it is done.
    qsizetype appendColumns(QList<Column>& columns, qsizetype enough) const {
        const qsizetype first = columns.size();
        qsizetype columnStart = m_start;
        qreal used = 0;
        for (qsizetype pos = m_start; pos < m_end;) {
            const char32_t c = codePointAt(m_text, pos);
            const qsizetype size = QChar::requiresSurrogates(c) ? 2 : 1;
            const qreal advance = m_metrics.advance(c, placementOf(c));
            if (used + advance <= m_metrics.height || pos == columnStart) {
                used += advance;
                pos += size;
                continue;
            }
            const qsizetype cut = breakBefore(columnStart, pos, c, size);
            columns.append({columnStart, cut});
            if (columns.size() >= enough && cut < m_end)
                return cut;
            columnStart = cut;
            pos = std::max(pos, cut);
            used = 0;
            for (qsizetype at = cut; at < pos;) {
                const char32_t carried = codePointAt(m_text, at);
                used += m_metrics.advance(carried, placementOf(carried));
                at += QChar::requiresSurrogates(carried) ? 2 : 1;
            }
        }
        // A mark hung at the line's end has ended its last column already.
        if (columnStart < m_end || columns.size() == first)
            columns.append({columnStart, m_end});
        return m_end;
    }

private:
    // Where the column that started at `columnStart` ends, `c` at `pos` not
    // fitting in it any more.
    qsizetype breakBefore(qsizetype columnStart, qsizetype pos, char32_t c, qsizetype size) const {
        if (!mayStartColumn(c) && mayHang(c)) {
            const qsizetype after = pos + size;
            if (after == m_end || lastOpportunity(pos, after) == after)
                return after;
        }
        const qsizetype found = lastOpportunity(columnStart, pos);
        return found > columnStart ? found : pos;
    }

    bool keepsPunctuation(qsizetype pos) const {
        return mayStartColumn(codePointAt(m_text, pos)) &&
               mayEndColumn(codePointBefore(m_text, pos));
    }

    // The last position in (floor, pos] where a column may break, or `floor`.
    qsizetype lastOpportunity(qsizetype floor, qsizetype pos) const {
        // Between two ideographs a line may always break: most breaks in
        // Chinese text are found without asking the line-breaking algorithm.
        if (isIdeograph(codePointBefore(m_text, pos)) && isIdeograph(codePointAt(m_text, pos)))
            return pos;
        // Enough context around the positions asked about for the algorithm.
        constexpr qsizetype Context = 16;
        qsizetype from = std::max(m_start, floor - Context);
        if (from > m_start && m_text[from].isLowSurrogate())
            --from;
        const qsizetype to = std::min(m_end, pos + Context);
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, m_text.data() + from, to - from);
        breaks.setPosition(pos - from);
        for (qsizetype at = breaks.isAtBoundary() ? pos - from : breaks.toPreviousBoundary();
             at != -1 && from + at > floor; at = breaks.toPreviousBoundary()) {
            if (keepsPunctuation(from + at))
                return from + at;
        }
        return floor;
    }

    QStringView m_text;
    qsizetype m_start;
    qsizetype m_end;
    const ColumnMetrics& m_metrics;
};

} // namespace

Placement placementOf(char32_t c) {
    switch (orientationOf(c)) {
    case U_VO_ROTATED:
        return Placement::Turned;
    case U_VO_TRANSFORMED_ROTATED:
        return shownForm(c) == c ? Placement::Turned : Placement::Upright;
    default:
        return Placement::Upright;
    }
}

char32_t shownForm(char32_t c) {
    const int orientation = orientationOf(c);
    if (orientation != U_VO_TRANSFORMED_UPRIGHT && orientation != U_VO_TRANSFORMED_ROTATED)
        return c;
    const QHash<char32_t, char32_t>& forms = verticalForms();
    if (const auto form = forms.constFind(c); form != forms.cend())
        return *form;
    // The full-width marks have their vertical forms through the narrow ones.
    if (QChar::decompositionTag(c) == QChar::Wide) {
        const QString narrow = QChar::decomposition(c);
        if (narrow.size() == 1)
            return forms.value(narrow[0].unicode(), c);
    }
    return c;
}

bool mayStartColumn(char32_t c) {
    return !listed(NoColumnStart, c);
}

bool mayEndColumn(char32_t c) {
    return !listed(NoColumnEnd, c);
}

bool mayHang(char32_t c) {
    return listed(Hanging, c);
}

qsizetype breakColumns(QStringView text, const ColumnMetrics& metrics, QList<Column>& columns,
                       qsizetype from, qsizetype enough) {
    for (qsizetype pos = from;;) {
        const LineBounds line = lineAt(text, pos);
        const qsizetype rest =
            LineBreaker(text, pos, line.end, metrics).appendColumns(columns, enough);
        if (rest < line.end)
            return rest;
        if (line.next == line.end)
            return -1;
        pos = line.next;
        if (columns.size() >= enough)
            return pos;
    }
}

QList<Column> breakColumns(QStringView text, const ColumnMetrics& metrics) {
    QList<Column> columns;
    breakColumns(text, metrics, columns, 0, std::numeric_limits<qsizetype>::max());
    return columns;
}

} // namespace vertical
