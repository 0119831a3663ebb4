#pragma once

#include <QPlainTextEdit>

#include <QList>

class QContextMenuEvent;
class QMainWindow;
class QMenu;

// The article text box's design size in pixels (10695 by 6735 twips): as high
// as the window's client area and one pixel wider.
inline constexpr int ArticleBoxWidth = 713;
inline constexpr int ArticleBoxHeight = 449;

// The text box that shows one article.
//
// Qt lays a paragraph out whole, so a line of tens of megabytes would keep
// the window from appearing for a long time; such a line is shown as several
// blocks of at most LongestShownBlock characters, each laid out only when it
// scrolls into view, and copying or dragging text joins them up again.
//
// An article holding a run so long without a break opportunity that Qt's word
// wrapping would take quadratic time over it wraps anywhere; any other wraps
// at word boundaries.
class ArticleTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr qsizetype LongestShownBlock = qsizetype(1) << 16;

    using QPlainTextEdit::QPlainTextEdit;

    // The window's client area with the text box at its design size in it,
    // the box holding the keyboard focus.
    static ArticleTextEdit* createIn(QMainWindow* window);

    // Replaces the whole text with an article's, the caret at its start.
    void showArticle(const QString& text);
    // Qt's own entries, then the window's commands offered there.
    QMenu* createContextMenu(QPoint at);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    bool m_splitLines = false;
};
