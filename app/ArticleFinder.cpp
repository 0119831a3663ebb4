#include "app/ArticleFinder.h"

#include "app/ArticleView.h"
#include "platform/BackgroundTask.h"
#include "widgets/Dialogs.h"
#include "widgets/FindBar.h"

#include <QTextCursor>
#include <QTimer>

namespace {

// Past half a second a search is long enough to wonder about.
constexpr int SlowSearchMilliseconds = 500;

const QString& searchingNote() {
    static const QString note = QStringLiteral("尋找中…");
    return note;
}

// The text box shows each CR LF as one paragraph break: a place in the text
// as read is that many places fewer in the box.
qsizetype shownPosition(QStringView text, qsizetype at) {
    qsizetype pairs = 0;
    for (qsizetype i = 0; i + 1 < at; ++i) {
        if (text[i] == u'\r' && text[i + 1] == u'\n')
            ++pairs;
    }
    return at - pairs;
}

} // namespace

ArticleFinder::ArticleFinder(Window window, QWidget* barParent)
    : QObject(barParent), m_window(std::move(window)), m_bar(new FindBar(barParent)),
      m_slowSearch(new QTimer(this)) {
    m_slowSearch->setSingleShot(true);
    m_slowSearch->setInterval(SlowSearchMilliseconds);
    connect(m_slowSearch, &QTimer::timeout, this, [this] { m_bar->tell(searchingNote()); });
    connect(m_bar, &FindBar::nextAsked, this, [this] { find(SearchDirection::Forward); });
    connect(m_bar, &FindBar::previousAsked, this, [this] { find(SearchDirection::Backward); });
    connect(m_bar, &FindBar::closed, this, &ArticleFinder::cancel);
}

ArticleFinder::~ArticleFinder() = default;

void ArticleFinder::open() {
    m_bar->open();
}

void ArticleFinder::find(SearchDirection direction) {
    if (m_bar->isVisible()) {
        m_typed = m_bar->text();
        m_pattern = SearchPattern(m_typed);
    }
    if (m_pattern.isEmpty()) {
        open();
        return;
    }
    m_task.reset();
    // A note on the last search would read as one on this.
    m_bar->say(QString());
    m_direction = direction;
    const QTextCursor cursor = m_window.textBox->textCursor();
    const bool forward = direction == SearchDirection::Forward;
    if (selectInShown(forward ? cursor.selectionEnd() : 0, forward ? -1 : cursor.selectionStart()))
        return;
    searchOtherArticles();
}

// Selects the first match at or after `from` (forward) or the last before
// `before` (backward) in the text on show. False when there is none.
bool ArticleFinder::selectInShown(qsizetype from, qsizetype before) {
    const QString shown = m_window.textBox->toPlainText();
    const std::optional<TextMatch> match =
        m_direction == SearchDirection::Forward
            ? m_pattern.nextIn(shown, from)
            : m_pattern.previousIn(shown, before < 0 ? shown.size() : before);
    if (!match)
        return false;
    select(*match);
    return true;
}

void ArticleFinder::select(TextMatch shown) {
    QTextCursor cursor(m_window.textBox->document());
    cursor.setPosition(int(shown.start));
    cursor.setPosition(int(shown.end), QTextCursor::KeepAnchor);
    m_window.textBox->setTextCursor(cursor);
    m_window.textBox->ensureCursorVisible();
}

bool ArticleFinder::selectionMatches() const {
    const QString selected = m_window.textBox->textCursor().selectedText();
    const std::optional<TextMatch> match = m_pattern.nextIn(selected);
    return match && match->start == 0 && match->end == selected.size();
}

void ArticleFinder::searchOtherArticles() {
    const ReadingPosition position = m_window.position();
    auto order = std::make_shared<const std::vector<int>>(
        searchOrder(position.current, position.count, m_direction));
    auto found = std::make_shared<std::optional<FoundArticle>>();
    m_task = std::make_unique<BackgroundTask>(
        this,
        [collection = m_window.collection(), pattern = m_pattern, direction = m_direction, order,
         found](const std::atomic<bool>& stop) {
            if (collection)
                *found = findArticle(pattern, *collection, *order, direction, stop);
        },
        [this, found](std::exception_ptr failure) {
            m_task.reset();
            m_slowSearch->stop();
            if (m_bar->isVisible())
                m_bar->say(QString());
            otherArticlesSearched(failure ? std::nullopt : std::move(*found));
        });
    m_slowSearch->start();
}

void ArticleFinder::otherArticlesSearched(std::optional<FoundArticle> found) {
    const bool forward = m_direction == SearchDirection::Forward;
    const qint16 current = m_window.position().current;
    if (found) {
        if (!m_window.showArticle(qint16(found->article), found->text))
            return;
        select({shownPosition(found->text, found->match.start),
                shownPosition(found->text, found->match.end)});
        // A line too long for one block is shown in pieces, each break one
        // place more; the match is then the first (last) in the text shown.
        if (!selectionMatches())
            selectInShown(0, -1);
        if (forward ? found->article < current : found->article > current)
            tellWrapped();
        return;
    }
    // Round to the article on show: a match before the caret (after it,
    // backward), or the one already selected when it is the only one.
    if (selectInShown(0, -1)) {
        tellWrapped();
        return;
    }
    m_window.dialogs.beep();
    m_window.dialogs.showMessage(m_window.textBox->window(),
                                 QStringLiteral("找不到「%1」").arg(m_typed),
                                 QStringLiteral("尋找"));
}

void ArticleFinder::tellWrapped() {
    m_window.dialogs.beep();
    m_bar->tell(m_direction == SearchDirection::Forward ? QStringLiteral("已從第一篇再找起")
                                                        : QStringLiteral("已從最後一篇再找起"));
}

void ArticleFinder::cancel() {
    m_task.reset();
    m_slowSearch->stop();
    m_bar->hide();
    m_window.textBox->setFocus();
}

void ArticleFinder::collectionReplaced() {
    if (m_task)
        searchOtherArticles();
}
