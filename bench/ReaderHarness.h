#pragma once

#include "core/ReaderController.h"
#include "platform/IniSettingsStore.h"
#include "platform/ProgramDirectory.h"
#include "widgets/Choosers.h"
#include "widgets/Dialogs.h"

#include <QString>

#include <functional>
#include <memory>

class ReaderWindow;
class ArticleTextEdit;
class QMainWindow;
class QPlainTextEdit;
class QWidget;

namespace bench {

// Dialogs that never stop the run: a benchmark has nobody to click OK.
class SilentDialogs final : public Dialogs {
public:
    void beep() override {}
    void showMessage(QWidget*, const QString&, const QString&) override {}
    QString askText(QWidget*, const QString&, const QString&) override { return {}; }
    void reportUnhandledError(QWidget*, const RuntimeError& error) override;
};

// The appearance commands never run in a benchmark.
class NoChoosers final : public Choosers {
public:
    void showFont(QWidget*, ChooserState&) override {}
    void showColor(QWidget*, ChooserState&) override {}
};

// A reader window over a collection directory, wired as main() wires it, the
// collection indexed while the window is built. This is the one place that
// knows the window's services.
class ReaderUnderTest {
public:
    explicit ReaderUnderTest(const QString& directory);
    ~ReaderUnderTest();

    ReaderWindow& window() { return *m_window; }
    ArticleTextEdit* textBox() const;

private:
    SilentDialogs m_dialogs;
    FixedDirectory m_directory;
    // A settings file that does not exist: start-up reads the defaults from
    // the real store, as on a first run.
    IniSettingsStore m_settings;
    NoChoosers m_choosers;
    ReaderController m_controller;
    std::unique_ptr<ReaderWindow> m_window;
};

// The baseline: a plain main window with a plain text box of the reader's size.
class BareWindow {
public:
    BareWindow();
    ~BareWindow();

    QMainWindow& window() { return *m_window; }
    QPlainTextEdit* textBox() const { return m_text; }

private:
    std::unique_ptr<QMainWindow> m_window;
    QPlainTextEdit* m_text = nullptr;
};

// Runs the event loop until `widget` has been painted. Returns false after a
// few seconds without a paint.
bool waitForPaint(QWidget* widget);

// Makes a change, then runs the event loop until `done` holds and `widget` has
// been painted since the change. Returns false after half a minute without
// `done`, or a few seconds without a paint.
bool paintedAfter(QWidget* widget, const std::function<void()>& change,
                  const std::function<bool()>& done);

// Shows a window and waits for the first paint of `painted` inside it.
bool showAndWaitForPaint(QWidget* window, QWidget* painted);

// Starts the reader like main() does, then shows the window and waits for its
// paint and for start-up to end with the collection indexed: the reader is
// then ready to move. Returns false if start-up failed or nothing was painted.
bool startReader(ReaderUnderTest& reader);

// Starts the reader like main() does, shows the window and asks at once for
// the next article, as a Right pressed the moment the window appears, then
// runs the event loop until the title names the second article. Returns false
// if start-up failed or the title did not change within half a minute.
bool moveOnceShown(ReaderUnderTest& reader);

} // namespace bench
