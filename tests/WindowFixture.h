#pragma once

#include "FakeChoosers.h"
#include "FakeDialogs.h"
#include "FakeSettingsStore.h"
#include "TestFiles.h"
#include "app/ReaderWindow.h"
#include "platform/ProgramDirectory.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

// A real ReaderWindow over a temporary program directory, fake dialogs and
// choosers and an empty settings store.
struct WindowFixture {
    WindowFixture() : directory(files.path()) {}

    ReaderWindow& window() {
        if (!form)
            form = std::make_unique<ReaderWindow>(
                ReaderServices{dialogs, directory, settings, choosers});
        return *form;
    }
    // Start-up to its end, the collection indexed on its task meanwhile.
    // False when it failed.
    bool startWindow() {
        if (!window().start())
            return false;
        (void)QTest::qWaitFor([&] { return window().isStarted() || window().exitStatus() != 0; },
                              10000);
        return window().isStarted();
    }
    QPlainTextEdit* text() {
        return window().findChild<QPlainTextEdit*>(QStringLiteral("articleText"));
    }
    QAction* action(const char* name) {
        return window().findChild<QAction*>(QString::fromLatin1(name));
    }

    ProgramDirFixture files;
    FixedDirectory directory;
    FakeDialogs dialogs;
    FakeSettingsStore settings;
    FakeChoosers choosers;
    std::unique_ptr<ReaderWindow> form;
};
