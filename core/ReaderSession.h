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

// What a move did, and the text to show after it.
struct MoveResult {
    NavigationResult result = NavigationResult::Unchanged;
    // For a move: the text of the article now current.
    QString text;
    // The file cannot give the article's text now (written over in place
    // since it was indexed): nothing moved, and the move waits for the next
    // version.
    bool waitsForVersion = false;
};

// What taking a new version of the collection did.
struct VersionResult {
    // Not taken: a version without articles in place of one with some (an
    // editor's empty or part-written file), or one that cannot give the
    // article's text already. The reader keeps what it shows.
    bool ignored = false;
    // The text to show, when the article's text differs from what was shown.
    std::optional<QString> text;
};

// The reader without its window: the collection, where the reader stands, the
// bookmark, and the rules of start-up, shutdown and moving between articles.
//
// Start-up comes in two steps, since the collection is indexed away from the
// window: begin(), then takeCollection() with the index of the data file, or
// collectionFailed() with what kept it from being indexed.
//
// The article the user chose is followed by its text across versions of the
// file: a version that lacks it (a part-written save) may show another, but a
// later one that holds it again goes back to it, as long as the user has not
// moved since. A place the reader chose, not the user, is not confirmed: the
// bookmark keeps the user's place until confirmPlace().
class ReaderSession {
public:
    explicit ReaderSession(const ProgramDirectory& directory);

    // The data file's path, formed once; empty without a program folder, which
    // begin() then reports.
    const QString& formDataFilePath();
    // Start-up up to the collection: the data file's path, the saved look
    // (`applySavedAppearance`; a value it cannot apply only ends the look
    // there), the bookmark and the current article from it. A first failure
    // starts over from taking the current article, with the bookmark as far
    // as it was read; a second one is thrown. Running out of memory is thrown
    // at once as error 7: a second pass would only run short again.
    void begin(const std::function<void()>& applySavedAppearance);
    // Ends start-up with the collection. A bookmark above the article count
    // opens the last article. Returns the text to show; none when the file,
    // written over in place already, cannot give it (the next version does).
    std::optional<QString> takeCollection(DataFileIndex collection);
    // The collection could not be indexed: returns when this was start-up's
    // first failure, and the caller indexes it again; throws `error` when it
    // was the second.
    void collectionFailed(const RuntimeError& error);
    // Whether start-up has completed, so that closing must save the bookmark.
    bool isStarted() const { return m_started; }
    // Shutdown: the reading place goes into the bookmark file. Throws
    // RuntimeError when it cannot be saved; the old bookmark then stays.
    void saveBookmark();
    // While the reader runs: the same, but only after a completed start-up and
    // only when the bookmark file does not hold the place already.
    void saveBookmarkIfMoved();

    // The commands, each with the text to show after it.
    MoveResult showPreviousArticle();
    MoveResult showNextArticle();
    MoveResult showFirstArticle();
    MoveResult goToArticle(QStringView typed);
    // Shows an article a search found there, with its text as the search read
    // it: the menu flags then say whether each move is possible.
    MoveResult showFoundArticle(qint16 article, const QString& text);

    // A version of the collection indexed while the reader runs takes the
    // place of the one shown. The article followed, or else the one on show,
    // stays on show at its new number when the new version holds it;
    // otherwise the same number stays, brought within the new count, and the
    // place is not confirmed. The menu flags then say whether each move is
    // possible.
    VersionResult replaceCollection(DataFileIndex collection);
    // The version the reader chose a place in has stayed: the bookmark may
    // take that place.
    void confirmPlace();
    bool isPlaceConfirmed() const { return m_placeConfirmed; }

    const ReadingPosition& position() const { return m_position; }
    // The text of the current article's slot (CR LF line ends), as the file
    // gives it now; none while the data file, written over in place, cannot.
    std::optional<QString> currentText() const {
        return m_collection->slotText(m_position.current);
    }
    QString title() const { return navigation::title(m_position); }
    // Where the collection is read from; the saved look is filed under it.
    const QString& dataFilePath() const { return m_dataFilePath; }
    const DataFileIndex& collection() const { return *m_collection; }
    // The same, for work on another thread that may outlive this version.
    std::shared_ptr<const DataFileIndex> sharedCollection() const { return m_collection; }
    const BookmarkLines& bookmarkLines() const { return m_bookmarkLines; }

private:
    // Runs a navigation command and reads the text it leads to.
    template <typename Command> MoveResult move(Command&& command);
    // The user's own choice of article, with its text.
    void choose(QString text);
    // The article nearest `around` in `collection` that holds `copy`.
    static std::optional<qint16> findNearest(const DataFileIndex& collection,
                                             const DataFileIndex::SlotCopy& copy, qint16 around);
    // The article the bookmark is to hold.
    qint16 bookmarkedPlace() const;
    QString bookmarkPath() const;

    const ProgramDirectory& m_directory;
    std::shared_ptr<const DataFileIndex> m_collection = std::make_shared<DataFileIndex>();
    ReadingPosition m_position;
    QString m_dataFilePath;
    BookmarkLines m_bookmarkLines;
    // The article the user chose, and the one the window was last given;
    // none when unknown.
    std::optional<DataFileIndex::SlotCopy> m_followed;
    std::optional<DataFileIndex::SlotCopy> m_shown;
    bool m_placeConfirmed = true;
    qint16 m_confirmedPlace = 0;
    // The article the bookmark file is known to hold; none when unknown.
    std::optional<qint16> m_savedArticle;
    bool m_failedOnce = false;
    bool m_started = false;
};
