#include "ReaderHarness.h"

#include "app/ArticleView.h"
#include "app/Reader.h"
#include "app/ReaderWindow.h"
#include "platform/RuntimeError.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>

namespace bench {

namespace {

class PaintWatch final : public QObject {
public:
    explicit PaintWatch(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~PaintWatch() override { m_widget->removeEventFilter(this); }

    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_widget && event->type() == QEvent::Paint)
            painted = true;
        return false;
    }

private:
    QWidget* m_widget;
};

bool runUntilPainted(PaintWatch& watch) {
    const QDeadlineTimer deadline(5000);
    while (!watch.painted && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The paint event has been delivered; let the rest of that paint finish.
    QCoreApplication::processEvents();
    return watch.painted;
}

} // namespace

void SilentDialogs::reportUnhandledError(QWidget*, const RuntimeError& error) {
    std::fprintf(stderr, "reader error: %s\n", error.what());
}

ReaderUnderTest::ReaderUnderTest(const QString& directory)
    : m_directory(directory), m_settings(directory + QStringLiteral("/no-settings.ini")),
      m_controller(m_directory) {
    m_controller.startIndexing();
    m_window = std::make_unique<ReaderWindow>(
        ReaderServices{m_dialogs, m_directory, m_settings, m_choosers, &m_controller});
}

ReaderUnderTest::~ReaderUnderTest() = default;

ArticleTextEdit* ReaderUnderTest::textBox() const {
    return m_window->findChild<ArticleTextEdit*>(QStringLiteral("articleText"));
}

BareWindow::BareWindow() : m_window(std::make_unique<QMainWindow>()) {
    auto* client = new QWidget(m_window.get());
    m_text = new QPlainTextEdit(client);
    // The reader's text box size, so that both boxes lay out as much text.
    m_text->setGeometry(0, 0, ArticleBoxWidth, ArticleBoxHeight);
    m_window->setCentralWidget(client);
    m_window->resize(ArticleBoxWidth - 1, ArticleBoxHeight);
}

BareWindow::~BareWindow() = default;

bool waitForPaint(QWidget* widget) {
    PaintWatch watch(widget);
    return runUntilPainted(watch);
}

bool paintedAfter(QWidget* widget, const std::function<void()>& change,
                  const std::function<bool()>& done) {
    PaintWatch watch(widget);
    change();
    const QDeadlineTimer deadline(30000);
    // Waits for events rather than polling: the work may need this CPU.
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done() && runUntilPainted(watch);
}

bool showAndWaitForPaint(QWidget* window, QWidget* painted) {
    PaintWatch watch(painted);
    window->show();
    return runUntilPainted(watch);
}

bool startReader(ReaderUnderTest& reader) {
    if (!::startReader(reader.window()))
        return false;
    if (!showAndWaitForPaint(&reader.window(), reader.textBox()->viewport()))
        return false;
    const QDeadlineTimer deadline(30000);
    while (!reader.window().isStarted() && reader.window().exitStatus() == 0 &&
           !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return reader.window().isStarted();
}

bool moveOnceShown(ReaderUnderTest& reader) {
    ReaderWindow& window = reader.window();
    if (!::startReader(window))
        return false;
    window.show();
    window.showNextArticle();
    const auto moved = [&] { return window.windowTitle().contains(QLatin1String("(2 of")); };
    if (moved())
        return true;
    // Sleeps between events, so that the index has both cores if it wants them.
    QEventLoop loop;
    QObject::connect(&window, &QWidget::windowTitleChanged, &loop, [&] {
        if (moved() || window.exitStatus() != 0)
            loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return moved();
}

} // namespace bench
