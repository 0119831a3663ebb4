#include "app/ArticleView.h"

#include <QPlainTextEdit>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>

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

} // namespace

void showArticleText(QPlainTextEdit* box, const QString& text) {
    const QTextOption::WrapMode wrapMode = wrapModeFor(text);
    if (wrapMode != box->wordWrapMode()) {
        // A new wrap mode lays out what the box holds again; let that be nothing.
        box->clear();
        box->setWordWrapMode(wrapMode);
    }
    // The document's own setPlainText lays a long paragraph out once; the box's
    // lays it out twice, once for its cursor in the middle of the change.
    box->document()->setPlainText(text);
    box->setTextCursor(QTextCursor(box->document()));
}
