#pragma once

#include "appearance/LookCommands.h"
#include "core/ReaderSession.h"

#include <QMainWindow>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class ArticleFinder;
class ArticleTextEdit;
class Choosers;
class DataFileIndex;
class Dialogs;
class FixedFrame;
class LiveCollection;
class ProgramDirectory;
class QAction;
class QMenu;
class RuntimeError;
class SettingsStore;

// What the window needs from the platform; main() wires in the real ones.
struct ReaderServices {
    Dialogs& dialogs;
    const ProgramDirectory& directory;
    SettingsStore& settings;
    Choosers& choosers;
    // The collection, its index started while the window is built; none: the
    // window starts one of its own.
    LiveCollection* collection = nullptr;
};

// The reader's one window: the article text box and the menus. It turns what
// the session's commands did into beeps, boxes, menu states, the title and
// the text. Create it, call start() once, and show it only when that returned
// true; closing it saves the bookmark.
class ReaderWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ReaderWindow(const ReaderServices& services, QWidget* parent = nullptr);
    ~ReaderWindow() override;

    // Start-up, which ends once the collection has been indexed: moves asked
    // for meanwhile are answered then. Returns false when it has failed
    // already: the failure has been reported and the program must end with
    // exitStatus(); a later failure ends the event loop with it.
    bool start();
    // Whether start-up has ended well.
    bool isStarted() const { return m_session.isStarted(); }
    // 0 while the program may go on; non-zero once an error has ended it.
    int exitStatus() const { return m_exitStatus; }
    const ReaderSession& session() const { return m_session; }
    ReaderSession& session() { return m_session; }

    // Ends the program as the user's close does, for Ctrl+Q, a session that
    // ends or a termination signal: any open modal box is dismissed first.
    void endSession();

    // The commands, as the menu bar and the keys run them (see Commands.h).
    void showPreviousArticle();
    void showNextArticle();
    void showFirstArticle();
    void goToArticle();
    void showHelp();
    void chooseFont();
    void chooseBackground();
    // F10: the menu bar takes the keys, its first menu open.
    void giveMenuBarTheKeys();
    void openFind();
    void findNext();
    void findPrevious();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void describeForAssistiveTools();

    void applySavedAppearance();

    // Shows what a navigation command did: the article, the beep or the box,
    // then the menu states and the title.
    void showResult(NavigationResult result);
    void showCurrentArticle();
    // Each version of the data file indexed: the first ends start-up.
    void showCollection(DataFileIndex collection);
    void collectionFailed(std::exception_ptr failure);
    // Runs a move now, or once start-up has ended.
    void whenStarted(std::function<void()> move);
    // Keeps the bookmark within about a second of each move, so that the place
    // survives an end without a close: a kill, a crash, a power cut.
    void saveBookmarkSoon();
    void saveMovedBookmark();

    // Runs one command; an error it raises ends the program with a report.
    void runCommand(const std::function<void()>& command);
    // Runs a step that may fail; any failure, out of memory included, ends the
    // program with a report instead of escaping into Qt's event loop.
    void runOrEnd(const std::function<void()>& step);
    void endProgram(const RuntimeError& error);

    ReaderServices m_services;
    ReaderSession m_session;
    appearance::LookCommands m_look;
    int m_exitStatus = 0;
    bool m_bookmarkSaved = false;
    // A close asked for before start-up ended waits for it, for a while.
    bool m_closeWhenStarted = false;
    bool m_closeWaitOver = false;
    // Runs once a second at most while the user moves: holding a key down
    // costs a save a second, not one per repeat.
    QTimer m_bookmarkTimer;
    std::unique_ptr<LiveCollection> m_ownCollection;
    LiveCollection* m_collection;
    std::vector<std::function<void()>> m_waitingMoves;

    ArticleTextEdit* m_articleText = nullptr;
    FixedFrame* m_frame = nullptr;
    ArticleFinder* m_finder = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QAction* m_previousArticleAction = nullptr;
    QAction* m_nextArticleAction = nullptr;
};
