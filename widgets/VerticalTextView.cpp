#include "widgets/VerticalTextView.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

using vertical::Placement;

namespace {

// Between the text and the edges, as the text box has it.
constexpr int Margin = 4;
// Columns a wheel's notch turns.
constexpr int ColumnsPerNotch = 3;

struct CodePoint {
    char32_t value;
    qsizetype size;
};

CodePoint codePointAt(const QString& text, qsizetype pos) {
    const QChar c = text[pos];
    if (c.isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text[pos + 1]), 2};
    return {c.unicode(), 1};
}

} // namespace

VerticalTextView::VerticalTextView(QPlainTextEdit* box)
    : QAbstractScrollArea(box->parentWidget()), m_box(box) {
    setObjectName(QStringLiteral("verticalText"));
    setFocusPolicy(Qt::NoFocus);
    // Opaque, so that the box it covers is not painted for nothing.
    setAutoFillBackground(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Right to left, the bar's start is at its right end, as the text's.
    horizontalScrollBar()->setLayoutDirection(Qt::RightToLeft);
    viewport()->setCursor(Qt::IBeamCursor);
    setFont(box->font());
    setPalette(box->palette());
    m_breaking.setInterval(1);
    connect(&m_breaking, &QTimer::timeout, this, &VerticalTextView::breakSomeMore);
    hide();
    box->installEventFilter(this);
    connect(box->document(), &QTextDocument::contentsChanged, this, [this] {
        m_stale = true;
        if (isVisible())
            viewport()->update();
    });
    connect(box, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!isVisible() || m_caretToFollow)
            return;
        // After the change that moved it: a new text is broken into columns once.
        m_caretToFollow = true;
        QMetaObject::invokeMethod(this, &VerticalTextView::followCaret, Qt::QueuedConnection);
    });
    connect(box, &QPlainTextEdit::selectionChanged, viewport(), qOverload<>(&QWidget::update));
}

void VerticalTextView::setActive(bool active) {
    if (active == isVisible())
        return;
    if (active) {
        // Covered, the box need not lay out and paint its text.
        m_box->viewport()->setUpdatesEnabled(false);
        m_box->setReadOnly(true);
        m_box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setGeometry(m_box->geometry());
        // Right above the box, under whatever lies over the box.
        stackUnder(m_box);
        m_box->stackUnder(this);
        m_stale = true;
        show();
        m_caretToFollow = true;
        followCaret();
    } else {
        hide();
        m_box->viewport()->setUpdatesEnabled(true);
        m_box->setReadOnly(false);
        m_box->ensureCursorVisible();
    }
}

const QList<vertical::Column>& VerticalTextView::columns() {
    layOut();
    breakUntil(std::numeric_limits<qsizetype>::max());
    return m_columns;
}

void VerticalTextView::measure() {
    const QFontMetricsF metrics(font());
    m_upright = metrics.horizontalAdvance(QChar(0x3000));
    if (m_upright <= 0)
        m_upright = metrics.height();
    m_pitch = std::ceil(metrics.lineSpacing());
    // An ideograph's square is centred on the ideograph's ink.
    m_baselineBelowMiddle = -metrics.tightBoundingRect(QStringLiteral("中")).center().y();
    m_ascent = metrics.ascent();
    m_descent = metrics.descent();
    m_turnedAdvances.assign(0x10000, -1.0f);
    m_glyphs.clear();
}

const VerticalTextView::Glyph& VerticalTextView::glyphOf(char32_t c) {
    if (const auto found = m_glyphs.constFind(c); found != m_glyphs.cend())
        return *found;
    const Placement placement = vertical::placementOf(c);
    const char32_t shown = placement == Placement::Upright ? vertical::shownForm(c) : c;
    QStaticText text(QString::fromUcs4(&shown, 1));
    text.setTextFormat(Qt::PlainText);
    text.setPerformanceHint(QStaticText::AggressiveCaching);
    text.prepare(QTransform(), font());
    const qreal width = QFontMetricsF(font()).horizontalAdvance(text.text());
    return *m_glyphs.insert(c, {placement, text, width});
}

qreal VerticalTextView::advanceOf(char32_t c, Placement placement) {
    if (placement == Placement::Upright)
        return m_upright;
    if (c < m_turnedAdvances.size() && m_turnedAdvances[c] >= 0)
        return m_turnedAdvances[c];
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QString::fromUcs4(&c, 1));
    if (c < m_turnedAdvances.size())
        m_turnedAdvances[c] = float(advance);
    return advance;
}

vertical::ColumnMetrics VerticalTextView::columnMetrics() {
    return {qreal(std::max(viewport()->height() - 2 * Margin, 1)),
            [this](char32_t c, Placement placement) { return advanceOf(c, placement); }};
}

void VerticalTextView::layOut() {
    if (!m_stale)
        return;
    m_stale = false;
    if (!std::exchange(m_measured, true))
        measure();
    // The text is read a line at a time, as far as it is broken.
    m_text.clear();
    m_unread = m_box->document()->firstBlock();
    m_readAny = false;
    m_columns.clear();
    m_nextBreak = 0;
    breakUntil(qsizetype(viewport()->width() / m_pitch) + 2);
    updateScrollBar();
}

bool VerticalTextView::readLine() {
    if (!m_unread.isValid())
        return false;
    // A block of the document ends with one position, as a line end.
    if (std::exchange(m_readAny, true))
        m_text += u'\n';
    m_text += m_unread.text();
    m_unread = m_unread.next();
    return true;
}

void VerticalTextView::breakUntil(qsizetype columns) {
    while (m_nextBreak >= 0 && m_columns.size() < columns) {
        if (!m_readAny || m_nextBreak > m_text.size()) {
            if (!readLine())
                m_nextBreak = -1;
            continue;
        }
        const qsizetype next =
            vertical::breakColumns(m_text, columnMetrics(), m_columns, m_nextBreak, columns);
        // Past the text read so far, the next line starts after its line end.
        m_nextBreak = next >= 0 ? next : m_unread.isValid() ? m_text.size() + 1 : -1;
    }
}

void VerticalTextView::breakThrough(qsizetype position) {
    while (m_nextBreak >= 0 && position >= m_nextBreak)
        breakUntil(m_columns.size() + 1024);
}

void VerticalTextView::breakInTheBackground() {
    if (m_nextBreak >= 0 && !m_breaking.isActive())
        m_breaking.start();
}

void VerticalTextView::breakSomeMore() {
    // Under a millisecond's work at a time, with a pause for input between.
    if (!m_stale)
        breakUntil(m_columns.size() + 1024);
    updateScrollBar();
    if (m_stale || m_nextBreak < 0)
        m_breaking.stop();
}

void VerticalTextView::updateScrollBar() {
    QScrollBar* bar = horizontalScrollBar();
    // Until all are broken, the rest counted as full columns of upright characters.
    qreal columns = qreal(m_columns.size());
    if (m_nextBreak >= 0)
        columns += std::ceil(qreal(m_box->document()->characterCount() - m_nextBreak) * m_upright /
                             std::max(viewport()->height() - 2 * Margin, 1));
    const int content = int(std::ceil(m_pitch * columns)) + 2 * Margin;
    const int page = viewport()->width();
    bar->setRange(0, std::max(0, content - page));
    bar->setPageStep(std::max(int(m_pitch), int(std::floor(page / m_pitch) * m_pitch)));
    bar->setSingleStep(int(m_pitch));
}

qreal VerticalTextView::columnRight(qsizetype column) const {
    return viewport()->width() - Margin - qreal(column) * m_pitch + horizontalScrollBar()->value();
}

qsizetype VerticalTextView::columnOf(qsizetype position) const {
    const auto after = std::upper_bound(
        m_columns.cbegin(), m_columns.cend(), position,
        [](qsizetype at, const vertical::Column& column) { return at < column.start; });
    return std::max<qsizetype>(0, (after - m_columns.cbegin()) - 1);
}

QRectF VerticalTextView::characterRect(qsizetype position) {
    layOut();
    breakThrough(position);
    if (m_columns.isEmpty())
        return {};
    const qsizetype column = columnOf(position);
    const vertical::Column& span = m_columns[column];
    qreal top = Margin;
    qsizetype at = span.start;
    for (; at < position && at < span.end;) {
        const CodePoint c = codePointAt(m_text, at);
        top += advanceOf(c.value, vertical::placementOf(c.value));
        at += c.size;
    }
    qreal length = m_upright;
    if (at < span.end) {
        const char32_t c = codePointAt(m_text, at).value;
        length = advanceOf(c, vertical::placementOf(c));
    }
    return {columnRight(column) - m_pitch, top, m_pitch, length};
}

qsizetype VerticalTextView::positionAt(QPointF point) {
    layOut();
    const qreal fromRight =
        viewport()->width() - Margin + horizontalScrollBar()->value() - point.x();
    const qsizetype wanted = std::max<qsizetype>(0, qsizetype(std::floor(fromRight / m_pitch)));
    breakUntil(wanted + 1);
    if (m_columns.isEmpty())
        return 0;
    const qsizetype column = std::min(wanted, m_columns.size() - 1);
    const vertical::Column& span = m_columns[column];
    qreal top = Margin;
    for (qsizetype at = span.start; at < span.end;) {
        const CodePoint c = codePointAt(m_text, at);
        const qreal length = advanceOf(c.value, vertical::placementOf(c.value));
        if (point.y() < top + length / 2)
            return at;
        top += length;
        at += c.size;
    }
    return span.end;
}

void VerticalTextView::followCaret() {
    if (!std::exchange(m_caretToFollow, false) || !isVisible())
        return;
    scrollToPosition(m_box->textCursor().position());
    viewport()->update();
}

void VerticalTextView::scrollToPosition(qsizetype position) {
    layOut();
    QRectF rect = characterRect(position);
    // The columns broken on the way there may reach beyond the bar's estimate.
    updateScrollBar();
    rect = characterRect(position);
    QScrollBar* bar = horizontalScrollBar();
    // Whole columns in view, the one asked for as far right as it was or
    // turned in from the side it lay on.
    if (rect.left() < 0)
        bar->setValue(bar->value() + int(std::ceil(-rect.left())) + Margin);
    else if (rect.right() > viewport()->width())
        bar->setValue(bar->value() - int(std::ceil(rect.right() - viewport()->width())) - Margin);
}

void VerticalTextView::scrollByColumns(int columns) {
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() + int(std::lround(columns * m_pitch)));
}

void VerticalTextView::drawColumn(QPainter& painter, qsizetype column, qsizetype selectionStart,
                                  qsizetype selectionEnd) {
    const vertical::Column& span = m_columns[column];
    const qreal left = columnRight(column) - m_pitch;
    const qreal middle = left + m_pitch / 2;
    const QColor text = palette().color(QPalette::Text);
    const QColor selectedText = palette().color(QPalette::HighlightedText);
    // A static text is placed by the top of its line, not by its baseline.
    const qreal baselineToTop = -m_ascent;
    qreal top = Margin;
    for (qsizetype at = span.start; at < span.end;) {
        const CodePoint c = codePointAt(m_text, at);
        const Glyph& glyph = glyphOf(c.value);
        const qreal length = advanceOf(c.value, glyph.placement);
        const bool selected = at >= selectionStart && at < selectionEnd;
        if (selected)
            painter.fillRect(QRectF(left, top, m_pitch, length), palette().highlight());
        painter.setPen(selected ? selectedText : text);
        if (glyph.placement == Placement::Upright) {
            painter.drawStaticText(
                QPointF(middle - glyph.width / 2,
                        top + length / 2 + m_baselineBelowMiddle + baselineToTop),
                glyph.text);
        } else {
            // Turned a quarter clockwise, the top of the letters to the right.
            painter.save();
            painter.translate(middle, top);
            painter.rotate(90);
            painter.drawStaticText(QPointF(0, (m_ascent - m_descent) / 2 + baselineToTop),
                                   glyph.text);
            painter.restore();
        }
        top += length;
        at += c.size;
    }
}

void VerticalTextView::paintEvent(QPaintEvent* event) {
    layOut();
    QPainter painter(viewport());
    painter.setFont(font());
    const QTextCursor cursor = m_box->textCursor();
    // Only the columns in the part to paint: a turn of the wheel paints those
    // it brings in.
    const QRect area = event->rect();
    const qreal rightEdge = viewport()->width() - Margin + horizontalScrollBar()->value();
    const qsizetype first =
        std::max<qsizetype>(0, qsizetype(std::floor((rightEdge - area.right() - 1) / m_pitch)));
    const qsizetype wanted = qsizetype(std::ceil((rightEdge - area.left()) / m_pitch));
    breakUntil(wanted + 1);
    const qsizetype last = std::min(m_columns.size() - 1, wanted);
    for (qsizetype column = first; column <= last; ++column)
        drawColumn(painter, column, cursor.selectionStart(), cursor.selectionEnd());
    if (!cursor.hasSelection() && m_box->hasFocus()) {
        const QRectF caret = characterRect(cursor.position());
        painter.fillRect(QRectF(caret.left() + 2, caret.top(), caret.width() - 4, 1),
                         palette().color(QPalette::Text));
    }
    // The rest once the text is on the screen.
    breakInTheBackground();
}

void VerticalTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    QTextCursor cursor = m_box->textCursor();
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    cursor.setPosition(int(positionAt(event->position())),
                       extend ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    m_box->setTextCursor(cursor);
    m_box->setFocus(Qt::MouseFocusReason);
}

void VerticalTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    QTextCursor cursor = m_box->textCursor();
    cursor.setPosition(int(positionAt(event->position())), QTextCursor::KeepAnchor);
    m_box->setTextCursor(cursor);
}

void VerticalTextView::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const int notches = delta.y() != 0 ? delta.y() : delta.x();
    // Down, or away, reads on: the columns to the left.
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() - int(std::lround(notches / 120.0 * ColumnsPerNotch * m_pitch)));
    event->accept();
}

void VerticalTextView::contextMenuEvent(QContextMenuEvent* event) {
    // The box's own menu, as over the horizontal text.
    QContextMenuEvent forwarded(event->reason(),
                                m_box->viewport()->mapFromGlobal(event->globalPos()),
                                event->globalPos(), event->modifiers());
    QCoreApplication::sendEvent(m_box->viewport(), &forwarded);
}

void VerticalTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    m_stale = true;
}

void VerticalTextView::scrollContentsBy(int dx, int) {
    // The columns move the other way from a scroll bar's usual content.
    viewport()->scroll(-dx, 0);
}

bool VerticalTextView::handleKey(QKeyEvent* event) {
    QScrollBar* bar = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageDown:
        scrollByColumns(std::max(1, int(viewport()->width() / m_pitch)));
        return true;
    case Qt::Key_PageUp:
        scrollByColumns(-std::max(1, int(viewport()->width() / m_pitch)));
        return true;
    case Qt::Key_Home:
        bar->setValue(bar->minimum());
        return true;
    case Qt::Key_End:
        breakUntil(std::numeric_limits<qsizetype>::max());
        updateScrollBar();
        bar->setValue(bar->maximum());
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        QTextCursor cursor = m_box->textCursor();
        cursor.movePosition(event->key() == Qt::Key_Up ? QTextCursor::PreviousCharacter
                                                       : QTextCursor::NextCharacter,
                            event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor
                                                                   : QTextCursor::MoveAnchor);
        m_box->setTextCursor(cursor);
        return true;
    }
    default:
        return false;
    }
}

bool VerticalTextView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_box)
        return QAbstractScrollArea::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FontChange:
        setFont(m_box->font());
        m_stale = true;
        m_measured = false;
        viewport()->update();
        break;
    case QEvent::PaletteChange:
        setPalette(m_box->palette());
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        // The caret shows only while the box has the keys.
        viewport()->update();
        break;
    case QEvent::Resize:
    case QEvent::Move:
        setGeometry(m_box->geometry());
        break;
    case QEvent::KeyPress:
        if (isVisible() && handleKey(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    default:
        break;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}
