#include "ReaderHarness.h"

#include "app/Form1.h"
#include "app/Reader.h"
#include "platform/RuntimeError.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMainWindow>
#include <QPlainTextEdit>

#include <cstdio>

namespace bench {

namespace {

// Design size of the reader's text box, so that both boxes lay out as much text.
constexpr int TextBoxWidth = 713;
constexpr int TextBoxHeight = 449;

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
    : m_directory(directory), m_settings(directory + QStringLiteral("/no-settings.ini")) {
    preloadCollection(m_preload, m_directory);
    m_window = std::make_unique<Form1>(
        ReaderServices{m_dialogs, m_directory, m_settings, m_choosers, &m_preload});
}

ReaderUnderTest::~ReaderUnderTest() = default;

QPlainTextEdit* ReaderUnderTest::textBox() const {
    return m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
}

BareWindow::BareWindow() : m_window(std::make_unique<QMainWindow>()) {
    auto* client = new QWidget(m_window.get());
    m_text = new QPlainTextEdit(client);
    m_text->setGeometry(0, 0, TextBoxWidth, TextBoxHeight);
    m_window->setCentralWidget(client);
    m_window->resize(TextBoxWidth - 1, TextBoxHeight);
}

BareWindow::~BareWindow() = default;

bool waitForPaint(QWidget* widget) {
    PaintWatch watch(widget);
    return runUntilPainted(watch);
}

bool showAndWaitForPaint(QWidget* window, QWidget* painted) {
    PaintWatch watch(painted);
    window->show();
    return runUntilPainted(watch);
}

bool startReader(ReaderUnderTest& reader) {
    if (!::startReader(reader.window()))
        return false;
    return showAndWaitForPaint(&reader.window(), reader.textBox()->viewport());
}

} // namespace bench
