#pragma once

#include <QList>
#include <QStringView>

#include <functional>

// Chinese text set in vertical columns: how each character stands in a
// column, and where the columns break. Unicode's own properties decide the
// first (read through ICU and Qt, never listed here); the punctuation rules
// for the column ends are this program's one small table.
namespace vertical {

// How a character is drawn in a column: upright as in a horizontal line
// (ideographs, kana, and punctuation shown in its vertical form), or turned a
// quarter clockwise with its neighbours of the same kind (Latin letters,
// digits, dashes).
enum class Placement : quint8 { Upright, Turned };

Placement placementOf(char32_t c);

// The character drawn for `c` in a column: the vertical presentation form of
// a character that Unicode transforms in vertical text (、。，「」 and the
// like, the full-width ones through their narrow originals), otherwise `c`.
char32_t shownForm(char32_t c);

// The punctuation rules at the column ends: what may not begin a column, what
// may not end one, and what may hang past a full column instead of starting
// the next one.
bool mayStartColumn(char32_t c);
bool mayEndColumn(char32_t c);
bool mayHang(char32_t c);

// One column: the text positions it holds, its line end excluded.
struct Column {
    qsizetype start;
    qsizetype end;
    friend bool operator==(const Column&, const Column&) = default;
};

struct ColumnMetrics {
    // How much a column holds, in the same unit as the advances.
    qreal height;
    // A character's length along the column, as it is placed.
    std::function<qreal(char32_t c, Placement placement)> advance;
};

// Breaks a text into columns: every line (ended by CR LF, CR or LF) starts a
// column, an empty line is an empty column, and a column breaks before the
// character that would overflow the height, at a line-break opportunity (the
// Unicode line-breaking algorithm) that keeps the punctuation rules. A
// sentence mark that would start a column hangs at the end of the full one
// instead; failing that, the characters it may not be parted from go with it.
// A run with no opportunity at all breaks where it overflows.
QList<Column> breakColumns(QStringView text, const ColumnMetrics& metrics);
// The same in parts, for a text too long to break at once: appends the
// columns from `from`, a column's start, until `columns` holds at least
// `enough` or the text ends. Returns where the next column starts, or -1 at
// the end.
qsizetype breakColumns(QStringView text, const ColumnMetrics& metrics, QList<Column>& columns,
                       qsizetype from, qsizetype enough);

} // namespace vertical
