#include "app/ArticleView.h"

#include "app/Commands.h"
#include "appearance/TextAppearance.h"
#include "text/NarrowText.h"

#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <memory>

namespace {

// Longest run between two line-break opportunities that an article may hold
// and still wrap at word boundaries. Far beyond any word, so only runs such as
// a line of one repeated letter or a pasted blob exceed it.
constexpr qsizetype LongestWrappedWord = 1024;

bool isIdeograph(char16_t c) {
    return c >= 0x4E00 && c <= 0x9FFF;
}

// Whether a run of text holds more than LongestWrappedWord characters between
// two of its line-break opportunities.
bool hasUnbreakableRun(QStringView run) {
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, run);
    qsizetype previous = 0;
    for (qsizetype next = breaks.toNextBoundary(); next != -1; next = breaks.toNextBoundary()) {
        if (next - previous > LongestWrappedWord)
            return true;
        previous = next;
    }
    return false;
}

// Qt's word-boundary wrapping measures each line's first word to its very end
// before it falls back to breaking anywhere, so a run without break
// opportunities costs its remaining length on every line it fills: quadratic
// in the run. Breaking anywhere measures only what fits on the line. Qt takes
// the wrap mode from the whole document, so an article with such a run wraps
// anywhere throughout; every other article keeps its words whole.
QTextOption::WrapMode wrapModeFor(QStringView text) {
    // Finding break opportunities costs about as much as showing the text, so
    // only stretches without a blank or two adjacent ideographs, which always
    // allow a break, are asked about.
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const char16_t c = i < text.size() ? text[i].unicode() : u' ';
        const bool blank = c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
        const bool ideographs = i > 0 && isIdeograph(c) && isIdeograph(text[i - 1].unicode());
        if (!blank && !ideographs)
            continue;
        if (i - runStart > LongestWrappedWord &&
            hasUnbreakableRun(text.mid(runStart, i - runStart)))
            return QTextOption::WrapAnywhere;
        runStart = blank ? i + 1 : i;
    }
    return QTextOption::WrapAtWordBoundaryOrAnywhere;
}

// Marks a block that goes on with the line of the block before it.
constexpr int ContinuedLine = 1;

// The text as the box shows it: no CR, so that each character is one position
// in the document, and every line longer than LongestShownBlock cut into
// pieces, where possible after a blank. Gives where each further piece starts.
QString splitLongLines(const QString& text, QList<int>& continuations) {
    constexpr qsizetype Limit = ArticleTextEdit::LongestShownBlock;
    QString shown;
    shown.reserve(text.size() + text.size() / Limit + 1);
    for (qsizetype pos = 0; pos < text.size();) {
        const LineBounds line = lineAt(text, pos);
        while (line.end - pos > Limit) {
            qsizetype cut = pos + Limit;
            // A blank within the last few hundred characters keeps a word whole.
            for (qsizetype at = cut; at > pos + Limit - 512; --at) {
                if (text[at - 1] == u' ' || text[at - 1] == u'\t') {
                    cut = at;
                    break;
                }
            }
            if (text[cut - 1].isHighSurrogate())
                --cut;
            shown += QStringView(text).sliced(pos, cut - pos);
            shown += u'\n';
            continuations.append(int(shown.size()));
            pos = cut;
        }
        shown += QStringView(text).sliced(pos, line.end - pos);
        if (line.next > line.end)
            shown += u'\n';
        pos = line.next;
    }
    return shown;
}

bool hasLongLine(const QString& text) {
    for (qsizetype pos = 0; pos < text.size();) {
        const LineBounds line = lineAt(text, pos);
        if (line.end - pos > ArticleTextEdit::LongestShownBlock)
            return true;
        pos = line.next;
    }
    return false;
}

} // namespace

ArticleTextEdit* ArticleTextEdit::createIn(QMainWindow* window) {
    // The client area shows the window background wherever the text box does
    // not cover it.
    auto* client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    QPalette clientPalette = client->palette();
    clientPalette.setColor(QPalette::Window, clientPalette.color(QPalette::Base));
    client->setPalette(clientPalette);
    window->setCentralWidget(client);

    // The text box shows the window's design font only through start-up,
    // which applies the saved look to that font in one go. Until then it holds
    // the menus' regular Ming face: laid out in the bold design face, even the
    // empty box would load a second Chinese face (about 2 MiB) that the saved
    // look replaces at once.
    auto* box = new ArticleTextEdit(client);
    box->setFont(appearance::programFont());
    box->setObjectName(QStringLiteral("articleText"));
    box->setGeometry(0, 0, ArticleBoxWidth, ArticleBoxHeight);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setAccessibleName(QStringLiteral("文章內容"));
    box->setAccessibleDescription(QStringLiteral(
        "目前文章的全文。Enter 或向右鍵看下一篇，向左鍵看上一篇；Ctrl+F 尋找，F3 找下一個；"
        "在此所做的修改不會存檔。"));
    box->setFocus();
    return box;
}

void ArticleTextEdit::showArticle(const QString& text) {
    const QTextOption::WrapMode wrapMode = wrapModeFor(text);
    if (wrapMode != wordWrapMode()) {
        // A new wrap mode lays out what the box holds again; let that be nothing.
        clear();
        setWordWrapMode(wrapMode);
    }
    // The caret leaves the document while the text changes, as in the box's
    // own setPlainText, and comes back at the start. Carried to the end by the
    // new text and moved back from there, it would have two screens of text
    // laid out on its way, where the first paint needs one. The document's own
    // setPlainText lays a paragraph out once; the box's lays it out twice, once
    // for its cursor in the middle of the change.
    setTextCursor(QTextCursor());
    m_splitLines = hasLongLine(text);
    if (m_splitLines) {
        QList<int> continuations;
        document()->setPlainText(splitLongLines(text, continuations));
        for (const int position : continuations)
            document()->findBlock(position).setUserState(ContinuedLine);
    } else {
        document()->setPlainText(text);
    }
    setTextCursor(QTextCursor(document()));
}

QMenu* ArticleTextEdit::createContextMenu(QPoint at) {
    QMenu* menu = createStandardContextMenu(at);
    if (const QList<QAction*> commands = contextMenuCommands(window()); !commands.isEmpty()) {
        menu->addSeparator();
        menu->addActions(commands);
    }
    return menu;
}

void ArticleTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createContextMenu(event->pos()));
    menu->exec(event->globalPos());
}

QMimeData* ArticleTextEdit::createMimeDataFromSelection() const {
    if (!m_splitLines)
        return QPlainTextEdit::createMimeDataFromSelection();
    const QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QString text;
    for (QTextBlock block = document()->findBlock(start);
         block.isValid() && block.position() <= end; block = block.next()) {
        if (block.position() > start && block.userState() != ContinuedLine)
            text += u'\n';
        const int from = std::max(start - block.position(), 0);
        const int to = std::min(end - block.position(), block.length() - 1);
        text += block.text().mid(from, to - from);
    }
    auto* mime = new QMimeData;
    mime->setText(text);
    return mime;
}
