#pragma once

#include "text/VerticalColumns.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <QStaticText>
#include <QString>
#include <QTextBlock>
#include <QTimer>

#include <vector>

class QPlainTextEdit;

// A text box's document shown in vertical columns: characters top to bottom,
// the first column at the right edge and the next ones to its left, the
// horizontal scroll bar opening at its right end. It lies over the box, in
// the box's place, and only shows it: the box keeps the text, the caret, the selection, the
// keyboard focus and what a screen reader reads, so copying, select-all and
// find work as in the box and copy the original characters. Only the columns
// in view are drawn, and a long text is broken into columns as far as the
// view needs at once, the rest in parts between the user's input.
//
// While shown, the box is read-only and hands the view its paging keys:
// PageUp and PageDown turn a page of columns, Home and End go to the ends,
// Up and Down (with Shift, selecting) go along the column. Every other key,
// and the context menu, stays the box's.
class VerticalTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit VerticalTextView(QPlainTextEdit* box);

    // Shown over the box, or hidden and the box as it was.
    void setActive(bool active);
    bool isActive() const { return isVisible(); }

    // Where the character at a text position is drawn, in the viewport's
    // coordinates; columns scrolled out of view lie beyond its edges.
    QRectF characterRect(qsizetype position);
    // The text position nearest a point of the viewport.
    qsizetype positionAt(QPointF point);
    // The columns the text is broken into.
    const QList<vertical::Column>& columns();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    bool handleKey(QKeyEvent* event);
    void followCaret();
    void measure();
    void layOut();
    // Columns are broken as far as they are needed, and the rest a part at a
    // time while the reader waits for input.
    bool readLine();
    void breakUntil(qsizetype columns);
    void breakThrough(qsizetype position);
    void breakInTheBackground();
    void breakSomeMore();
    vertical::ColumnMetrics columnMetrics();
    void updateScrollBar();
    void scrollToPosition(qsizetype position);
    void scrollByColumns(int columns);
    qsizetype columnOf(qsizetype position) const;
    // The right edge of a column, in viewport coordinates.
    qreal columnRight(qsizetype column) const;
    qreal advanceOf(char32_t c, vertical::Placement placement);
    void drawColumn(QPainter& painter, qsizetype column, qsizetype selectionStart,
                    qsizetype selectionEnd);

    // A character as drawn, laid out once for the font: a page of columns
    // repeats few characters many times.
    struct Glyph {
        vertical::Placement placement;
        QStaticText text;
        qreal width;
    };
    const Glyph& glyphOf(char32_t c);

    QPlainTextEdit* m_box;
    // The document's text as far as it has been read, a block a line.
    QString m_text;
    QTextBlock m_unread;
    bool m_readAny = false;
    QList<vertical::Column> m_columns;
    // Where the next column starts, or -1 once all are broken.
    qsizetype m_nextBreak = -1;
    QTimer m_breaking;
    bool m_stale = true;
    // Whether the font's measures and glyphs are those of the font now.
    bool m_measured = false;
    bool m_caretToFollow = false;
    // Measured from the font: the length of an upright character, the
    // distance between columns, and where a baseline lies below the middle of
    // an upright character's square.
    qreal m_upright = 0;
    qreal m_pitch = 0;
    qreal m_baselineBelowMiddle = 0;
    qreal m_ascent = 0;
    qreal m_descent = 0;
    // The lengths of turned characters of the first plane, measured once each.
    std::vector<float> m_turnedAdvances;
    QHash<char32_t, Glyph> m_glyphs;
};
