#pragma once

#include "core/Navigation.h"
#include "core/TextSearch.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ArticleTextEdit;
class BackgroundTask;
class DataFileIndex;
class Dialogs;
class FindBar;
class QTimer;
class QWidget;

// Finds text across the collection for the window. A search looks first in
// the article on show, after the caret (before it, backward), then through
// the other articles in turn on a background task, and last round to the
// article on show again; a match is selected in the text box. Past the last
// article on to the first, it says so with the beep and a note in the find
// bar, shown though it was closed; with no match anywhere, with the beep and
// a box. A search that takes long says that it is searching.
//
// States: idle, or searching the other articles (a task runs). Cancel drops
// the task; a new version of the collection starts the search again on it.
class ArticleFinder : public QObject {
    Q_OBJECT

public:
    struct Window {
        std::function<ReadingPosition()> position;
        // The version shown.
        std::function<std::shared_ptr<const DataFileIndex>()> collection;
        ArticleTextEdit* textBox;
        Dialogs& dialogs;
        // Shows an article a search found, with its text as the search read it, as after any
        // move; returns false when the reader did not move there (then select nothing).
        std::function<bool(qint16 article, const QString& text)> showArticle;
    };

    ArticleFinder(Window window, QWidget* barParent);
    ~ArticleFinder() override;

    // Ctrl+F: the find bar, with the keys.
    void open();
    // Enter, F3 and Shift+F3. Without anything to find yet, opens the bar.
    void find(SearchDirection direction);
    // Esc: the search under way, if any, ends and the bar closes.
    void cancel();
    // A new version of the collection: a search under way starts again on it.
    void collectionReplaced();
    bool isSearching() const { return m_task != nullptr; }

private:
    void searchOtherArticles();
    void otherArticlesSearched(std::optional<FoundArticle> found);
    bool selectInShown(qsizetype from, qsizetype before);
    void select(TextMatch shown);
    bool selectionMatches() const;
    void tellWrapped();

    Window m_window;
    FindBar* m_bar;
    // The text to find, as typed and as matched.
    QString m_typed;
    SearchPattern m_pattern{QString()};
    SearchDirection m_direction = SearchDirection::Forward;
    std::unique_ptr<BackgroundTask> m_task;
    QTimer* m_slowSearch;
};
