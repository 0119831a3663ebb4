#include "app/Form1.h"

#include "app/AppIcon.h"
#include "platform/Dialogs.h"
#include "platform/RuntimeError.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>

#include <QKeyEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextBoundaryFinder>

#include <new>

namespace {

// Design size of the client area, in pixels (10680 by 6735 twips).
constexpr int ClientWidth = 712;
constexpr int ClientHeight = 449;
// The text box is one pixel wider than the client area (10695 twips).
constexpr int TextBoxWidth = 713;

// Menus do not take the window's bold design font; they use the regular face
// of a Traditional Chinese desktop, which also spares loading a second Chinese
// face just for the menu captions.
QFont menuFont() {
    QFont font(QStringLiteral("新細明體"), 9);
    font.setWeight(QFont::Normal);
    return font;
}

// Longest run between two line-break opportunities that an article may hold
// and still wrap at word boundaries. Far beyond any word, so only runs such as
// a line of one repeated letter or a pasted blob exceed it.
constexpr qsizetype LongestWrappedWord = 1024;

bool isIdeograph(char16_t c) {
    return c >= 0x4E00 && c <= 0x9FFF;
}

// Whether a run of text holds more than LongestWrappedWord characters between
// two of its line-break opportunities.
bool hasUnbreakableRun(QStringView run) {
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, run);
    qsizetype previous = 0;
    for (qsizetype next = breaks.toNextBoundary(); next != -1; next = breaks.toNextBoundary()) {
        if (next - previous > LongestWrappedWord)
            return true;
        previous = next;
    }
    return false;
}

// Qt's word-boundary wrapping measures each line's first word to its very end
// before it falls back to breaking anywhere, so a run without break
// opportunities costs its remaining length on every line it fills: quadratic
// in the run. Breaking anywhere measures only what fits on the line. Qt takes
// the wrap mode from the whole document, so an article with such a run wraps
// anywhere throughout; every other article keeps its words whole.
QTextOption::WrapMode wrapModeFor(QStringView text) {
    // Finding break opportunities costs about as much as showing the text, so
    // only stretches without a blank or two adjacent ideographs, which always
    // allow a break, are asked about.
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const char16_t c = i < text.size() ? text[i].unicode() : u' ';
        const bool blank = c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
        const bool ideographs = i > 0 && isIdeograph(c) && isIdeograph(text[i - 1].unicode());
        if (!blank && !ideographs)
            continue;
        if (i - runStart > LongestWrappedWord &&
            hasUnbreakableRun(text.mid(runStart, i - runStart)))
            return QTextOption::WrapAnywhere;
        runStart = blank ? i + 1 : i;
    }
    return QTextOption::WrapAtWordBoundaryOrAnywhere;
}

} // namespace

Form1::Form1(const ReaderServices& services, QWidget* parent)
    : QMainWindow(parent), m_services(services) {
    setWindowTitle(QStringLiteral("Orvenla"));
    setWindowIcon(laughingFaceIcon());
    createControls();
    createActions();
    // Set after the controls are made, so that the text box is never laid
    // out in it; see createControls().
    QFont designFont(QStringLiteral("新細明體"));
    designFont.setPointSize(9);
    designFont.setBold(true);
    setFont(designFont);
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
}

Form1::~Form1() = default;

void Form1::createControls() {
    // The client area shows the window background wherever the text box does
    // not cover it, as when the frame is made larger than the design.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    QPalette clientPalette = client->palette();
    clientPalette.setColor(QPalette::Window, clientPalette.color(QPalette::Base));
    client->setPalette(clientPalette);
    setCentralWidget(client);

    // The text box shows the window's design font only through start-up,
    // which applies the saved look to that font in one go. Until then it holds
    // the menus' regular Ming face: laid out in the bold design face, even the
    // empty box would load a second Chinese face (about 2 MiB) that the saved
    // look replaces at once.
    Text1 = new QPlainTextEdit(client);
    Text1->setFont(menuFont());
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(0, 0, TextBoxWidth, ClientHeight);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->installEventFilter(this);
    Text1->setFocus();
}

void Form1::createActions() {
    QMenuBar* bar = menuBar();
    bar->setFont(menuFont());

    mset = bar->addMenu(QStringLiteral("設定"));
    mset->setObjectName(QStringLiteral("mset"));
    mfont = mset->addAction(QStringLiteral("字型"));
    mbgColor = mset->addAction(QStringLiteral("背景"));
    mstart = bar->addAction(QStringLiteral("首篇"));
    mto = bar->addAction(QStringLiteral("到 ? 篇"));
    mpre = bar->addAction(QStringLiteral("<<<上一篇"));
    mnext = bar->addAction(QStringLiteral("下一篇>>>"));
    mhelp = bar->addAction(QStringLiteral("說明"));

    mfont->setObjectName(QStringLiteral("mfont"));
    mbgColor->setObjectName(QStringLiteral("mbgColor"));
    mstart->setObjectName(QStringLiteral("mstart"));
    mto->setObjectName(QStringLiteral("mto"));
    mpre->setObjectName(QStringLiteral("mpre"));
    mnext->setObjectName(QStringLiteral("mnext"));
    mhelp->setObjectName(QStringLiteral("mhelp"));

    // "First article" exists as a command but is never offered in the menu.
    mstart->setEnabled(false);

    connect(mstart, &QAction::triggered, this, [this] { runHandler([this] { mstart_Click(); }); });
    connect(mto, &QAction::triggered, this, [this] { runHandler([this] { mto_Click(); }); });
    connect(mpre, &QAction::triggered, this, [this] { runHandler([this] { Command1_Click(); }); });
    connect(mnext, &QAction::triggered, this, [this] { runHandler([this] { Command2_Click(); }); });
    connect(mhelp, &QAction::triggered, this, [this] { runHandler([this] { mhelp_Click(); }); });
    connect(mfont, &QAction::triggered, this, [this] { runHandler([this] { mfont_Click(); }); });
    connect(mbgColor, &QAction::triggered, this,
            [this] { runHandler([this] { mbgColor_Click(); }); });
}

void Form1::ShowArticle(int index) {
    const QString& text = ArticleText(index);
    const QTextOption::WrapMode wrapMode = wrapModeFor(text);
    if (wrapMode != Text1->wordWrapMode()) {
        // A new wrap mode lays out what the box holds again; let that be nothing.
        Text1->clear();
        Text1->setWordWrapMode(wrapMode);
    }
    Text1->setPlainText(text);
}

void Form1::RefreshTitle() {
    setWindowTitle(QStringLiteral("Orvenla(%1 of %2)").arg(CurArticle).arg(ArticleCount));
}

void Form1::runHandler(const std::function<void()>& handler) {
    if (m_exitStatus != 0)
        return;
    runOrEnd(handler);
}

void Form1::runOrEnd(const std::function<void()>& step) {
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

void Form1::endProgram(const RuntimeError& error) {
    m_exitStatus = 1;
    try {
        m_services.dialogs.reportUnhandledError(isVisible() ? this : nullptr, error);
    } catch (...) {
        // The box could not be shown (no memory left for it): end all the same.
    }
    close();
    QCoreApplication::exit(m_exitStatus);
}

void Form1::endSession() {
    // A modal box runs its own event loop inside the command that opened it.
    // Dismissed, it lets that command end as on Cancel; the window closes once
    // that loop has returned.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (!modal->isVisible()) {
            QMetaObject::invokeMethod(this, &Form1::endSession, Qt::QueuedConnection);
            return;
        }
    }
    close();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (m_started && m_exitStatus == 0) {
        m_started = false;
        runOrEnd([this] { writeBookmarkStage(); });
    }
    event->accept();
}

// Enter and Right show the next article, Left the previous one, whatever the
// modifiers. The key is never consumed: the text box still inserts the line
// break or moves the caret afterwards.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Right:
            runHandler([this] { Command2_Click(); });
            break;
        case Qt::Key_Left:
            runHandler([this] { Command1_Click(); });
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
