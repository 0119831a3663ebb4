#include "app/ReaderWindow.h"

#include "app/AppIcon.h"
#include "app/ArticleFinder.h"
#include "app/ArticleView.h"
#include "app/Commands.h"
#include "app/FixedFrame.h"
#include "app/HelpText.h"
#include "appearance/AppearanceText.h"
#include "appearance/LookCommands.h"
#include "appearance/TextAppearance.h"
#include "platform/RuntimeError.h"
#include "store/LiveCollection.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardMenuBar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QThread>

#include <chrono>
#include <new>

namespace {

// How long after a move the bookmark is saved at the latest.
constexpr std::chrono::milliseconds BookmarkSaveDelay{1000};

// How long a close waits for start-up to end, so that it saves the bookmark
// as any close does; an index that takes longer is not waited for.
constexpr std::chrono::milliseconds CloseWaitForStart{1000};

} // namespace

ReaderWindow::ReaderWindow(const ReaderServices& services, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_session(services.directory),
      m_look(services.choosers, services.dialogs, services.settings),
      m_ownCollection(services.collection ? nullptr : std::make_unique<LiveCollection>()),
      m_collection(services.collection ? services.collection : m_ownCollection.get()) {
    setWindowTitle(QStringLiteral("Orvenla"));
    setWindowIcon(laughingFaceIcon());
    m_articleText = ArticleTextEdit::createIn(this);
    m_articleText->installEventFilter(this);
    createActions();
    // Set after the controls are made, so that the text box is never laid
    // out in it; see ArticleTextEdit::createIn().
    QFont designFont(appearance::DesignFace.toString());
    designFont.setPointSize(9);
    designFont.setBold(true);
    setFont(designFont);
    // The client area's design size is 10680 by 6735 twips, the box's 10695.
    m_frame = new FixedFrame(this, m_articleText, QSize(ArticleBoxWidth - 1, ArticleBoxHeight),
                             QSize(ArticleBoxWidth, ArticleBoxHeight));
    describeForAssistiveTools();
    m_finder = new ArticleFinder({[this] { return m_session.position(); },
                                  [this] { return m_session.sharedCollection(); }, m_articleText,
                                  m_services.dialogs,
                                  [this](qint16 article, const QString& text) {
                                      showResult(m_session.showFoundArticle(article));
                                      if (m_session.position().current != article)
                                          return false;
                                      m_articleText->showArticle(text);
                                      return true;
                                  }},
                                 centralWidget());
    m_bookmarkTimer.setSingleShot(true);
    m_bookmarkTimer.setInterval(BookmarkSaveDelay);
    connect(&m_bookmarkTimer, &QTimer::timeout, this, &ReaderWindow::saveMovedBookmark);
}

ReaderWindow::~ReaderWindow() = default;

void ReaderWindow::describeForAssistiveTools() {
    // The title carries the position, so a screen reader names the window by
    // it. Kept in step by hand: Qt announces no change of a window's name when
    // only its title changes, and every move would then go unheard.
    setAccessibleName(windowTitle());
    connect(this, &QWidget::windowTitleChanged, this, &QWidget::setAccessibleName);
    setAccessibleDescription(QStringLiteral(
        "Orvenla 文章閱讀器：逐篇閱讀 data.txt 裡的文章；視窗名稱顯示目前篇數與總篇數。"));
}

void ReaderWindow::createActions() {
    QMenuBar* bar = menuBar();
    bar->setFont(appearance::programFont());
    showKeyboardSelection(bar);
    bar->installEventFilter(this);
    m_settingsMenu = addCommands(this, [this](const CommandRow& row) {
        runCommand([this, run = row.run] { (this->*run)(); });
        // However a command was started, the keys go back to the text box.
        if (row.keysBackToText)
            m_articleText->setFocus();
    });
    m_previousArticleAction = findChild<QAction*>(QStringLiteral("previousArticleAction"));
    m_nextArticleAction = findChild<QAction*>(QStringLiteral("nextArticleAction"));
}

void ReaderWindow::giveMenuBarTheKeys() {
    // As GNOME and KDE programs have it: the first menu opens and the arrows
    // go on along the bar.
    menuBar()->setFocus(Qt::MenuBarFocusReason);
    menuBar()->setActiveAction(m_settingsMenu->menuAction());
}

void ReaderWindow::openFind() {
    whenStarted([this] { m_finder->open(); });
}

void ReaderWindow::findNext() {
    whenStarted([this] { m_finder->find(SearchDirection::Forward); });
}

void ReaderWindow::findPrevious() {
    whenStarted([this] { m_finder->find(SearchDirection::Backward); });
}

bool ReaderWindow::start() {
    runOrEnd([this] {
        m_session.begin([this] { applySavedAppearance(); });
        m_collection->setReceivers(
            [this](DataFileIndex collection) {
                runCommand([&] { showCollection(std::move(collection)); });
            },
            [this](std::exception_ptr failure) { runCommand([&] { collectionFailed(failure); }); });
        m_collection->start(m_session.dataFilePath());
    });
    return m_exitStatus == 0;
}

void ReaderWindow::collectionFailed(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeError& error) {
        m_session.collectionFailed(error);
        m_collection->start(m_session.dataFilePath());
    }
}

void ReaderWindow::showCollection(DataFileIndex collection) {
    if (!m_session.isStarted()) {
        m_session.takeCollection(std::move(collection));
        showCurrentArticle();
        setWindowTitle(m_session.title());
        for (const std::function<void()>& move : std::exchange(m_waitingMoves, {}))
            move();
        if (m_closeWhenStarted)
            close();
        return;
    }
    if (m_session.replaceCollection(std::move(collection)))
        showCurrentArticle();
    m_finder->collectionReplaced();
    m_previousArticleAction->setEnabled(m_session.position().previousAvailable);
    m_nextArticleAction->setEnabled(m_session.position().nextAvailable);
    setWindowTitle(m_session.title());
    saveBookmarkSoon();
}

void ReaderWindow::whenStarted(std::function<void()> move) {
    if (m_session.isStarted())
        move();
    else
        m_waitingMoves.push_back(std::move(move));
}

void ReaderWindow::showCurrentArticle() {
    // A hidden widget gets its size only when shown, and the text box lays its
    // text out again then. Delivered before the first article, that article is
    // laid out at its final width only.
    for (QWidget* widget : {static_cast<QWidget*>(m_articleText), m_articleText->viewport()}) {
        if (widget->testAttribute(Qt::WA_PendingResizeEvent)) {
            QResizeEvent resize(widget->size(), QSize());
            QCoreApplication::sendEvent(widget, &resize);
            widget->setAttribute(Qt::WA_PendingResizeEvent, false);
        }
    }
    // Text the file cannot give now comes with the next version indexed.
    if (const std::optional<QString> text = m_session.currentText())
        m_articleText->showArticle(*text);
}

void ReaderWindow::showResult(NavigationResult result) {
    switch (result) {
    case NavigationResult::Moved:
        showCurrentArticle();
        saveBookmarkSoon();
        break;
    case NavigationResult::AtEdge:
        m_services.dialogs.beep();
        break;
    case NavigationResult::NumberTooLarge:
        m_services.dialogs.showMessage(this, QStringLiteral("輸入篇數過大"),
                                       QStringLiteral("錯誤輸入"));
        return;
    case NavigationResult::Unchanged:
        return;
    }
    m_previousArticleAction->setEnabled(m_session.position().previousAvailable);
    m_nextArticleAction->setEnabled(m_session.position().nextAvailable);
    setWindowTitle(m_session.title());
}

void ReaderWindow::saveBookmarkSoon() {
    if (!m_bookmarkTimer.isActive())
        m_bookmarkTimer.start();
}

void ReaderWindow::saveMovedBookmark() {
    if (m_exitStatus != 0 || m_bookmarkSaved)
        return;
    try {
        m_session.saveBookmarkIfMoved();
    } catch (...) {
        // Silent while the user reads: the next move tries again, and the save
        // at close reports what still fails.
    }
}

void ReaderWindow::showPreviousArticle() {
    whenStarted([this] { showResult(m_session.showPreviousArticle()); });
}

void ReaderWindow::showNextArticle() {
    whenStarted([this] { showResult(m_session.showNextArticle()); });
}

void ReaderWindow::showFirstArticle() {
    whenStarted([this] { showResult(m_session.showFirstArticle()); });
}

void ReaderWindow::goToArticle() {
    whenStarted([this] {
        const QString typed =
            m_services.dialogs.askText(this, QStringLiteral("到第幾篇??"), QStringLiteral("輸入"));
        showResult(m_session.goToArticle(typed));
    });
}

void ReaderWindow::showHelp() {
    m_services.dialogs.showMessage(this, helpText(), helpTitle());
}

void ReaderWindow::applySavedAppearance() {
    appearance::applySaved({m_services.settings, m_session.dataFilePath()},
                           {m_articleText, centralWidget()}, font());
}

void ReaderWindow::chooseFont() {
    m_look.chooseFont(m_session.dataFilePath(), {m_articleText, centralWidget()});
}

void ReaderWindow::chooseBackground() {
    m_look.chooseBackground(m_session.dataFilePath(), {m_articleText, centralWidget()});
}

void ReaderWindow::runCommand(const std::function<void()>& command) {
    if (m_exitStatus != 0)
        return;
    runOrEnd(command);
}

void ReaderWindow::runOrEnd(const std::function<void()>& step) {
    try {
        step();
    } catch (const RuntimeError& error) {
        endProgram(error);
    } catch (const std::bad_alloc&) {
        endProgram(RuntimeError::outOfMemory({}));
    } catch (const std::exception& error) {
        endProgram(RuntimeError::internal(QString::fromLocal8Bit(error.what())));
    }
}

void ReaderWindow::endProgram(const RuntimeError& error) {
    m_exitStatus = 1;
    try {
        m_services.dialogs.reportUnhandledError(isVisible() ? this : nullptr, error);
    } catch (...) {
        // The box could not be shown (no memory left for it): end all the same.
    }
    close();
    // Before the event loop runs (a failed start) there is none to end, and
    // asking would end the next one at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(m_exitStatus);
}

void ReaderWindow::endSession() {
    // A modal box runs its own event loop inside the command that opened it.
    // Dismissed, it lets that command end as on Cancel; the window closes once
    // that loop has returned.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (!modal->isVisible()) {
            QMetaObject::invokeMethod(this, &ReaderWindow::endSession, Qt::QueuedConnection);
            return;
        }
    }
    close();
}

void ReaderWindow::closeEvent(QCloseEvent* event) {
    if (!m_session.isStarted() && m_exitStatus == 0 && !m_closeWaitOver) {
        if (!std::exchange(m_closeWhenStarted, true))
            QTimer::singleShot(CloseWaitForStart, this, [this] {
                m_closeWaitOver = true;
                close();
            });
        event->ignore();
        return;
    }
    // A failed start never writes the bookmark, and it is written only once.
    m_bookmarkTimer.stop();
    if (m_session.isStarted() && m_exitStatus == 0 && !m_bookmarkSaved) {
        m_bookmarkSaved = true;
        runOrEnd([this] { m_session.saveBookmark(); });
    }
    event->accept();
}

// Enter and Right show the next article, Left the previous one, whatever the
// modifiers. The key is never consumed: the text box still inserts the line
// break or moves the caret afterwards.
bool ReaderWindow::eventFilter(QObject* watched, QEvent* event) {
    // Esc that leaves the menu bar gives the keys back to the text box.
    if (watched == menuBar() && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && menuBar()->hasFocus() &&
        !menuBar()->activeAction())
        m_articleText->setFocus();
    if (watched == m_articleText && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Right:
            runCommand([this] { showNextArticle(); });
            break;
        case Qt::Key_Left:
            runCommand([this] { showPreviousArticle(); });
            break;
        case Qt::Key_Escape:
            // Ends a search started from here with F3.
            m_finder->cancel();
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
