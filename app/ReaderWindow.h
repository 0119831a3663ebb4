#pragma once

#include "app/ReadingControls.h"
#include "app/TitleListBox.h"
#include "appearance/LookCommands.h"
#include "core/ReaderController.h"

#include <QMainWindow>

#include <memory>

class ArticleTextEdit;
class Choosers;
class Dialogs;
class ProgramDirectory;
class QAction;
class QMenu;
class SettingsStore;

// What the window needs from the platform; main() wires in the real ones.
struct ReaderServices {
    Dialogs& dialogs;
    const ProgramDirectory& directory;
    SettingsStore& settings;
    Choosers& choosers;
    // The reader's life, its collection indexed while the window is built;
    // none: the window makes one of its own.
    ReaderController* controller = nullptr;
};

// The reader's one window: the article text box and the menus. It forwards
// the commands to the controller and shows what the controller decides:
// beeps, boxes, menu states, the title and the text. Create it, call start()
// once, and show it only when that returned true; closing it saves the
// bookmark.
class ReaderWindow : public QMainWindow, private ReaderView {
    Q_OBJECT

public:
    explicit ReaderWindow(const ReaderServices& services, QWidget* parent = nullptr);
    ~ReaderWindow() override;

    // Start-up, which ends once the collection has been indexed. Returns false
    // when it has failed already: the failure has been reported and the
    // program must end with exitStatus(); a later failure ends the event loop.
    bool start() { return m_controller->start(*this); }
    bool isStarted() const { return m_controller->isStarted(); }
    int exitStatus() const { return m_controller->exitStatus(); }
    const ReaderSession& session() const { return m_controller->session(); }

    // Ends the program as the user's close does, for Ctrl+Q, a session that
    // ends or a termination signal: any open modal box is dismissed first.
    void endSession();

    // The commands, as the menu bar and the keys run them (see Commands.h).
    void showPreviousArticle() { m_controller->showPreviousArticle(); }
    void showNextArticle() { m_controller->showNextArticle(); }
    void showFirstArticle() { m_controller->showFirstArticle(); }
    void goToArticle();
    void showHelp();
    void chooseFont();
    void chooseBackground();
    // F10: the menu bar takes the keys, its first menu open.
    void giveMenuBarTheKeys();
    void openFind();
    void findNext();
    void findPrevious();
    void openTitleList() {
        m_controller->whenStarted([this] { m_titles->open(); });
    }
    void toggleVertical() { m_reading->toggleVertical(); }
    void zoomIn() { m_reading->zoom(1); }
    void zoomOut() { m_reading->zoom(-1); }
    void resetZoom() { m_reading->zoom(0); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the controller asks for.
    void applySavedAppearance() override;
    void showPlace(const ReaderDisplay& display) override;
    void beep() override;
    void tellNumberTooLarge() override;
    void collectionReplaced() override {
        m_finder->collectionReplaced();
        m_titles->collectionReplaced();
    }
    void closeNow() override { close(); }
    void endWithError(const RuntimeError& error) override;

    void createActions();
    void describeForAssistiveTools();

    ReaderServices m_services;
    std::unique_ptr<ReaderController> m_ownController;
    ReaderController* m_controller;
    appearance::LookCommands m_look;

    ArticleTextEdit* m_articleText = nullptr;
    ArticleFinder* m_finder = nullptr;
    TitleListBox* m_titles = nullptr;
    ReadingControls* m_reading = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QAction* m_previousArticleAction = nullptr;
    QAction* m_nextArticleAction = nullptr;
};
