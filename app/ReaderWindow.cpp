#include "app/ReaderWindow.h"

#include "app/AppIcon.h"
#include "app/ArticleView.h"
#include "app/Commands.h"
#include "app/FixedFrame.h"
#include "app/HelpText.h"
#include "appearance/AppearanceText.h"
#include "appearance/TextAppearance.h"
#include "platform/RuntimeError.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardMenuBar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QThread>

ReaderWindow::ReaderWindow(const ReaderServices& services, QWidget* parent)
    : QMainWindow(parent), m_services(services),
      m_ownController(services.controller ? nullptr
                                          : std::make_unique<ReaderController>(services.directory)),
      m_controller(services.controller ? services.controller : m_ownController.get()),
      m_look(services.choosers, services.dialogs, services.settings) {
    setWindowTitle(QStringLiteral("Orvenla"));
    setWindowIcon(laughingFaceIcon());
    m_articleText = ArticleTextEdit::createIn(this);
    m_articleText->installEventFilter(this);
    createActions();
    m_reading = new ReadingControls(
        m_articleText, services.settings, [this] { return session().dataFilePath(); }, this);
    // Set after the controls are made, so that the text box is never laid
    // out in it; see ArticleTextEdit::createIn().
    QFont designFont(appearance::DesignFace.toString());
    designFont.setPointSize(9);
    designFont.setBold(true);
    setFont(designFont);
    // The client area's design size is 10680 by 6735 twips, the box's 10695.
    new FixedFrame(this, m_articleText, QSize(ArticleBoxWidth - 1, ArticleBoxHeight),
                   QSize(ArticleBoxWidth, ArticleBoxHeight));
    describeForAssistiveTools();
    const ArticleFinder::Window reach{[this] { return m_controller->session().position(); },
                                      [this] { return m_controller->session().sharedCollection(); },
                                      m_articleText, m_services.dialogs,
                                      [this](qint16 article, const QString& text) {
                                          return m_controller->showFoundArticle(article, text);
                                      }};
    m_finder = new ArticleFinder(reach, centralWidget());
    m_titles = new TitleListBox(reach, centralWidget());
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
        m_controller->run([this, run = row.run] { (this->*run)(); });
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
    m_controller->whenStarted([this] { m_finder->open(); });
}

void ReaderWindow::findNext() {
    m_controller->whenStarted([this] { m_finder->find(SearchDirection::Forward); });
}

void ReaderWindow::findPrevious() {
    m_controller->whenStarted([this] { m_finder->find(SearchDirection::Backward); });
}

void ReaderWindow::goToArticle() {
    m_controller->goToArticle([this] {
        return m_services.dialogs.askText(this, QStringLiteral("到第幾篇??"),
                                          QStringLiteral("輸入"));
    });
}

void ReaderWindow::showHelp() {
    m_services.dialogs.showMessage(this, helpText(), helpTitle());
}

void ReaderWindow::applySavedAppearance() {
    m_reading->restore();
    appearance::applySaved({m_services.settings, session().dataFilePath()},
                           {m_articleText, centralWidget()}, font());
}

void ReaderWindow::chooseFont() {
    m_look.chooseFont(session().dataFilePath(), {m_articleText, centralWidget()});
}

void ReaderWindow::chooseBackground() {
    m_look.chooseBackground(session().dataFilePath(), {m_articleText, centralWidget()});
}

void ReaderWindow::showPlace(const ReaderDisplay& display) {
    if (display.text) {
        // A hidden widget gets its size only when shown, and the text box lays
        // its text out again then. Delivered before the first article, that
        // article is laid out at its final width only.
        for (QWidget* widget : {static_cast<QWidget*>(m_articleText), m_articleText->viewport()}) {
            if (widget->testAttribute(Qt::WA_PendingResizeEvent)) {
                QResizeEvent resize(widget->size(), QSize());
                QCoreApplication::sendEvent(widget, &resize);
                widget->setAttribute(Qt::WA_PendingResizeEvent, false);
            }
        }
        m_articleText->showArticle(*display.text);
    }
    m_previousArticleAction->setEnabled(display.previousAvailable);
    m_nextArticleAction->setEnabled(display.nextAvailable);
    setWindowTitle(display.title);
}

void ReaderWindow::beep() {
    m_services.dialogs.beep();
}

void ReaderWindow::tellNumberTooLarge() {
    m_services.dialogs.showMessage(this, QStringLiteral("輸入篇數過大"),
                                   QStringLiteral("錯誤輸入"));
}

void ReaderWindow::endWithError(const RuntimeError& error) {
    try {
        m_services.dialogs.reportUnhandledError(isVisible() ? this : nullptr, error);
    } catch (...) {
        // The box could not be shown (no memory left for it): end all the same.
    }
    close();
    // Before the event loop runs (a failed start) there is none to end, and
    // asking would end the next one at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(exitStatus());
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
    if (m_controller->closeRequested())
        event->accept();
    else
        event->ignore();
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
            m_controller->run([this] { showNextArticle(); });
            break;
        case Qt::Key_Left:
            m_controller->run([this] { showPreviousArticle(); });
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
