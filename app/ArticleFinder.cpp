#include "app/ArticleFinder.h"

#include "app/ArticleView.h"
#include "platform/BackgroundTask.h"
#include "store/DataFile.h"
#include "widgets/Dialogs.h"
#include "widgets/FindBar.h"

#include <QTextCursor>

ArticleFinder::ArticleFinder(Window window, QWidget* barParent)
    : QObject(barParent), m_window(std::move(window)), m_bar(new FindBar(barParent)) {
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
    QTextCursor cursor(m_window.textBox->document());
    cursor.setPosition(int(match->start));
    cursor.setPosition(int(match->end), QTextCursor::KeepAnchor);
    m_window.textBox->setTextCursor(cursor);
    m_window.textBox->ensureCursorVisible();
    return true;
}

void ArticleFinder::searchOtherArticles() {
    const ReadingPosition position = m_window.position();
    auto order = std::make_shared<const std::vector<int>>(
        searchOrder(position.current, position.count, m_direction));
    auto found = std::make_shared<std::optional<int>>();
    m_task = std::make_unique<BackgroundTask>(
        this,
        [collection = m_window.collection(), pattern = m_pattern, order,
         found](const std::atomic<bool>& stop) {
            *found = findArticle(pattern, *collection, *order, stop);
        },
        [this, found](std::exception_ptr failure) {
            m_task.reset();
            otherArticlesSearched(failure ? std::nullopt : *found);
        });
}

void ArticleFinder::otherArticlesSearched(std::optional<int> found) {
    const bool forward = m_direction == SearchDirection::Forward;
    const qint16 current = m_window.position().current;
    if (found) {
        const std::optional<QString> text = m_window.collection()->slotText(*found);
        if (!text || !m_window.showArticle(qint16(*found), *text))
            return;
        selectInShown(0, -1);
        if (forward ? *found < current : *found > current)
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
    m_bar->say(m_direction == SearchDirection::Forward ? QStringLiteral("已從第一篇再找起")
                                                       : QStringLiteral("已從最後一篇再找起"));
}

void ArticleFinder::cancel() {
    m_task.reset();
    m_bar->hide();
    m_window.textBox->setFocus();
}

void ArticleFinder::collectionReplaced() {
    if (m_task)
        searchOtherArticles();
}
