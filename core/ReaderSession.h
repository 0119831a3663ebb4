#pragma once

#include "core/Navigation.h"
#include "platform/RegularFile.h"
#include "store/BookmarkFile.h"
#include "store/DataFile.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ProgramDirectory;
class RuntimeError;

// The reader without its window: the collection, where the reader stands, the
// bookmark, and the rules of start-up, shutdown and moving between articles.
//
// Start-up comes in two steps, since the collection is indexed away from the
// window: begin(), then takeCollection() with the index of the data file, or
// collectionFailed() with what kept it from being indexed.
class ReaderSession {
public:
    explicit ReaderSession(const ProgramDirectory& directory);

    // Start-up up to the collection: the data file's path, the saved look
    // (`applySavedAppearance`; a value it cannot apply only ends the look
    // there), the bookmark and the current article from it. A first failure
    // starts over from taking the current article, with the bookmark as far
    // as it was read; a second one is thrown. Running out of memory is thrown
    // at once as error 7: a second pass would only run short again.
    void begin(const std::function<void()>& applySavedAppearance);
    // Ends start-up with the collection. A bookmark above the article count
    // opens the last article.
    void takeCollection(DataFileIndex collection);
    // The collection could not be indexed: returns when this was start-up's
    // first failure, and the caller indexes it again; throws `error` when it
    // was the second.
    void collectionFailed(const RuntimeError& error);
    // Whether start-up has completed, so that closing must save the bookmark.
    bool isStarted() const { return m_started; }
    // Shutdown: the current article goes into the bookmark file. Throws
    // RuntimeError when it cannot be saved; the old bookmark then stays.
    void saveBookmark();
    // While the reader runs: the same, but only after a completed start-up and
    // only when the bookmark file does not hold the current article already.
    void saveBookmarkIfMoved();

    NavigationResult showPreviousArticle();
    NavigationResult showNextArticle();
    NavigationResult showFirstArticle();
    NavigationResult goToArticle(QStringView typed);
    // Shows an article a search found there: the menu flags then say whether
    // each move is possible.
    NavigationResult showFoundArticle(qint16 article);

    // A version of the collection indexed while the reader runs takes the
    // place of the one shown. The article on show stays on show, at its new
    // number, when the new version holds it unchanged; otherwise the same
    // number stays, brought within the new count. The menu flags then say
    // whether each move is possible. Returns whether the current article's
    // text changed, or was never shown.
    bool replaceCollection(DataFileIndex collection);

    const ReadingPosition& position() const { return m_position; }
    // The text of the current article's slot (CR LF line ends), for the
    // window to show. None while the data file, written over in place, cannot
    // give it: the next version indexed brings it.
    std::optional<QString> currentText();
    QString title() const { return navigation::title(m_position); }
    // Where the collection is read from; the saved look is filed under it.
    const QString& dataFilePath() const { return m_dataFilePath; }
    const DataFileIndex& collection() const { return *m_collection; }
    // The same, for work on another thread that may outlive this version.
    std::shared_ptr<const DataFileIndex> sharedCollection() const { return m_collection; }
    const BookmarkLines& bookmarkLines() const { return m_bookmarkLines; }

private:
    // Where the article on show, whose text is `shown`, lies in `collection`,
    // if it holds it as it is.
    std::optional<qint16> findCurrentArticle(const DataFileIndex& collection,
                                             const QString& shown) const;
    QString bookmarkPath() const;

    const ProgramDirectory& m_directory;
    std::shared_ptr<const DataFileIndex> m_collection = std::make_shared<DataFileIndex>();
    ReadingPosition m_position;
    QString m_dataFilePath;
    BookmarkLines m_bookmarkLines;
    // The text the window was last given; none when it could not be read.
    std::optional<QString> m_shownText;
    // The article the bookmark file is known to hold; none when unknown.
    std::optional<qint16> m_savedArticle;
    bool m_failedOnce = false;
    bool m_started = false;
};
