#pragma once

#include "core/ReaderSession.h"
#include "store/LiveCollection.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <optional>

class ProgramDirectory;
class RuntimeError;

// What the window shows of the reader's place: the title, whether moving back
// and on is offered, and the article's text when it is to be replaced.
struct ReaderDisplay {
    QString title;
    bool previousAvailable = true;
    bool nextAvailable = true;
    std::optional<QString> text;
};

// What the controller asks of the window, which does only this.
class ReaderView {
public:
    virtual ~ReaderView() = default;
    // Start-up's stage for the saved font and colours.
    virtual void applySavedAppearance() = 0;
    virtual void showPlace(const ReaderDisplay& display) = 0;
    virtual void beep() = 0;
    // A go-to past the last article.
    virtual void tellNumberTooLarge() = 0;
    // A new version of the collection is on show.
    virtual void collectionReplaced() = 0;
    // A close asked for during start-up may go ahead now.
    virtual void closeNow() = 0;
    // The error ends the program: report it, close, and end the event loop.
    virtual void endWithError(const RuntimeError& error) = 0;
};

// The reader's life, without widgets: start-up and its retry, moves asked for
// before the collection can answer them, following each version of the data
// file, the bookmark kept within a second of each move, the rules for errors,
// and the end of the session. The window forwards its commands here and shows
// what it is told.
//
// States:
//   Created     nothing started; startIndexing() may start the index early.
//   Starting    start() ran the start-up stages; the collection is being
//               indexed. Moves wait. A first failure indexes it again, a
//               second ends the program: Failed. The index: Running, the
//               moves that waited answered in turn.
//   Running     moves are answered at once, each with its text read. A move
//               whose text the file cannot give (written over in place since
//               its index): CatchingUp, the move waiting.
//   CatchingUp  the collection looks at the file again. A new version: it is
//               followed, then Running and the moves that waited answered on
//               it. No new usable version, or none within a second: Running,
//               and a move whose text the version held cannot give stays put.
//   Closed      the window closed; the bookmark was saved.
//   Failed      an error ended the program; nothing more runs.
//
// A close asked for while Starting waits up to a second for the collection,
// so that the bookmark is saved as on any close.
class ReaderController : public QObject {
    Q_OBJECT

public:
    enum class State { Created, Starting, Running, CatchingUp, Closed, Failed };

    // How long after a move the bookmark is saved at the latest, how long a
    // place the reader chose must stay before the bookmark takes it, how long
    // a move waits for a new version, and a close for start-up.
    static constexpr std::chrono::milliseconds BookmarkDelay{1000};
    static constexpr std::chrono::milliseconds ConfirmDelay{1000};
    static constexpr std::chrono::milliseconds CatchUpLimit{1000};
    static constexpr std::chrono::milliseconds CloseWaitForStart{1000};

    explicit ReaderController(const ProgramDirectory& directory, QObject* parent = nullptr);
    ~ReaderController() override;

    // Starts indexing the collection, so that the index overlaps the making of
    // the window. Call it once the locale is set; start() calls it otherwise.
    void startIndexing();
    // Start-up, which ends once the collection has been indexed. Returns
    // false when it has failed already: the view has been told.
    bool start(ReaderView& view);

    // The commands. Each waits while the reader cannot answer it yet.
    void showPreviousArticle();
    void showNextArticle();
    void showFirstArticle();
    // `askNumber` asks the user for the article's number, once the move can
    // be answered.
    void goToArticle(std::function<QString()> askNumber);
    // An article a search found in the version on show, with its text as the
    // search read it. False when the reader did not move there.
    bool showFoundArticle(qint16 article, const QString& text);
    // Runs `command` once start-up has ended, at once when it has.
    void whenStarted(std::function<void()> command);

    // Runs a command of the window. An error it raises ends the program with
    // a report; nothing, running out of memory included, escapes.
    void run(const std::function<void()>& command);
    // The window is to close. False while it must wait for start-up (it is
    // told closeNow() later); true once the bookmark has been saved, or need
    // not be.
    bool closeRequested();

    State state() const { return m_state; }
    bool isStarted() const { return m_session.isStarted(); }
    // 0 while the program may go on; non-zero once an error has ended it.
    int exitStatus() const { return m_state == State::Failed ? 1 : 0; }
    const ReaderSession& session() const { return m_session; }

private:
    using Move = std::function<MoveResult()>;
    void answer(Move move);
    void answerWaiting();
    void show(std::optional<QString> text);
    void takeVersion(DataFileIndex index);
    void indexFailed(std::exception_ptr failure);
    void passedOver();
    void confirmWhenSteady();
    void saveBookmarkSoon();
    void saveMovedBookmark();
    void endWithError(const RuntimeError& error);

    ReaderSession m_session;
    LiveCollection m_collection;
    ReaderView* m_view = nullptr;
    State m_state = State::Created;
    bool m_indexStarted = false;
    // Moves and commands waiting for start-up or for a new version.
    std::deque<std::function<void()>> m_waiting;
    // No usable version has followed the one held since a move found the
    // file changed: such moves stay put rather than wait again.
    bool m_heldVersionStale = false;
    bool m_closeWhenStarted = false;
    bool m_closeWaitOver = false;
    bool m_bookmarkSaved = false;
    // Runs once a second at most while the user moves: holding a key down
    // costs a save a second, not one per repeat.
    QTimer m_bookmarkTimer;
    QTimer m_confirmTimer;
    QTimer m_catchUpTimer;
};
