#pragma once

#include "platform/CommonDialog.h"
#include "store/ArticleSlots.h"
#include "store/BookmarkFile.h"

#include <QMainWindow>

#include <functional>

class Choosers;
class DataFilePreload;
class Dialogs;
class ProgramDirectory;
class QAction;
class QMenu;
class QPlainTextEdit;
class RuntimeError;
class SettingsStore;

// What the window needs from the platform; main() wires in the real ones.
struct ReaderServices {
    Dialogs& dialogs;
    const ProgramDirectory& directory;
    SettingsStore& settings;
    Choosers& choosers;
    // The data file read ahead while the window is built; none in tests.
    DataFilePreload* preload = nullptr;
};

// The reader's one window. Create it, call Form_Load() once (start-up), and
// show it only when that returned true; closing it runs shutdown.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(const ReaderServices& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up. Returns false when it failed in its recovery pass too: the
    // failure has been reported and the program must end with exitStatus().
    bool Form_Load();
    // 0 while the program may go on; non-zero once an error has ended it.
    int exitStatus() const { return m_exitStatus; }

    // Previous and next article; an error they raise goes to the caller.
    void Command1_Click();
    void Command2_Click();
    // Puts one article of the store into the text box; throws outside the store.
    void ShowArticle(int index);

    // Ends the program as the user's close does, for a session that ends or a
    // termination signal: any open modal box is dismissed first.
    void endSession();

    // The reader state. Every command works on it; tests set it up directly.
    ArticleSlots ArticleText;
    qint16 CurArticle = 0;
    qint16 ArticleCount = 0;
    QString DataPath;
    BookmarkLines BookmarkLine;
    CommonDialog cmDialog1;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createActions();

    void mstart_Click();
    void mto_Click();
    void mhelp_Click();

    void RefreshTitle();
    void LoadArticles();

    void runAppearanceStage();
    void ApplySavedAppearance();
    void mfont_Click();
    void mbgColor_Click();
    void readBookmarkStage();
    void takeArticleLoadAndTitle();
    void writeBookmarkStage();

    // Runs one event handler; an error it raises ends the program with a report.
    void runHandler(const std::function<void()>& handler);
    void endProgram(const RuntimeError& error);
    // Runs a step that may fail; any failure, out of memory included, ends the
    // program with a report instead of escaping into Qt's event loop.
    void runOrEnd(const std::function<void()>& step);

    ReaderServices m_services;
    bool m_storeFilled = false;
    bool m_started = false;
    int m_exitStatus = 0;

    QPlainTextEdit* Text1 = nullptr;
    QMenu* mset = nullptr;
    QAction* mfont = nullptr;
    QAction* mbgColor = nullptr;
    QAction* mstart = nullptr;
    QAction* mto = nullptr;
    QAction* mpre = nullptr;
    QAction* mnext = nullptr;
    QAction* mhelp = nullptr;
};
