#pragma once

#include "core/Navigation.h"
#include "platform/RegularFile.h"
#include "store/ArticleSlots.h"
#include "store/BookmarkFile.h"

#include <QString>

#include <functional>
#include <optional>

class DataFilePreload;
class ProgramDirectory;

// The reader without its window: the collection, where the reader stands, the
// bookmark, and the rules of start-up, shutdown and moving between articles.
class ReaderSession {
public:
    // `preload`, when given, holds the outline of the collection read ahead
    // while the window was built; start-up takes it where it would read the
    // file, and the collection is loaded from it later (loadRestInBackground()).
    explicit ReaderSession(const ProgramDirectory& directory, DataFilePreload* preload = nullptr);

    // Start-up: the data file's path, the saved look (`applySavedAppearance`;
    // a value it cannot apply only ends the look there), the bookmark, the
    // current article from it and the collection. A first failure starts over
    // from taking the current article, with the bookmark as far as it was read;
    // a second one is thrown. Running out of memory is thrown at once as
    // error 7: a second pass would only run short again.
    void start(const std::function<void()>& applySavedAppearance);
    // Whether start() has completed, so that closing must save the bookmark.
    bool isStarted() const { return m_started; }
    // Shutdown: the current article goes into the bookmark file. Throws
    // RuntimeError when it cannot be saved; the old bookmark then stays.
    void saveBookmark();
    // While the reader runs: the same, but only after a completed start-up and
    // only when the bookmark file does not hold the current article already.
    void saveBookmarkIfMoved();

    // Each move first waits for the collection (see finishLoading()).
    NavigationResult showPreviousArticle();
    NavigationResult showNextArticle();
    NavigationResult showFirstArticle();
    NavigationResult goToArticle(QStringView typed);

    // With a preload, start-up shows the current article from an outline of
    // the data file and the collection is loaded afterwards: this starts that
    // load on the preload's worker. Call it once the window is on screen.
    void loadRestInBackground();
    // Waits for that load and fills the store; nothing without one. Returns
    // true when the collection loaded is not the file start-up showed (it was
    // written over in place meanwhile): the text and title need showing
    // again. Throws RuntimeError as loading the data file does.
    bool finishLoading();

    // A version of the collection read while the reader runs takes the place
    // of the one shown. The article on show stays on show, at its new number,
    // when the new version holds it unchanged; otherwise the same number
    // stays, brought within the new count. The menu flags then say whether
    // each move is possible. Returns whether the current article's text
    // changed. Throws RuntimeError as finishLoading() does.
    bool replaceCollection(ArticleSlots articles, qint16 count, const FileStamp& stamp);
    // The data file as the collection shown was read from it; none before a
    // load, or when it could not be told.
    const std::optional<FileStamp>& collectionStamp() const { return m_collectionStamp; }

    const ReadingPosition& position() const { return m_position; }
    // The text of the current article's slot, as the store holds it (CR LF).
    QString currentText();
    QString title() const { return navigation::title(m_position); }
    // Where the collection is read from; the saved look is filed under it.
    const QString& dataFilePath() const { return m_dataFilePath; }
    const ArticleSlots& articles();
    const BookmarkLines& bookmarkLines() const { return m_bookmarkLines; }

private:
    void takeCurrentArticleAndLoad();
    void loadArticles();
    // Where the article on show, whose text is `shown`, lies in `articles`,
    // if they hold it as it is.
    std::optional<qint16> findCurrentArticle(const ArticleSlots& articles, qint16 count,
                                             const QString& shown);
    QString bookmarkPath() const;

    const ProgramDirectory& m_directory;
    DataFilePreload* m_preload;
    ArticleSlots m_articles;
    ReadingPosition m_position;
    QString m_dataFilePath;
    BookmarkLines m_bookmarkLines;
    std::optional<FileStamp> m_collectionStamp;
    // The article the bookmark file is known to hold; none when unknown.
    std::optional<qint16> m_savedArticle;
    bool m_storeFilled = false;
    // Start-up took the preload's outline; the store is filled from it later.
    bool m_loadPending = false;
    bool m_started = false;
};
