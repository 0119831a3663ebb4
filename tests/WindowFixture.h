#pragma once

#include "FakeChoosers.h"
#include "FakeDialogs.h"
#include "FakeSettingsStore.h"
#include "TestFiles.h"
#include "app/ReaderWindow.h"
#include "platform/ProgramDirectory.h"
#include "store/DataFilePreload.h"

#include <QAction>
#include <QPlainTextEdit>

#include <memory>

// A real ReaderWindow over a temporary program directory, fake dialogs and
// choosers and an empty settings store.
struct WindowFixture {
    WindowFixture() : directory(files.path()) {}

    ReaderWindow& window() {
        if (!form)
            form = std::make_unique<ReaderWindow>(
                ReaderServices{dialogs, directory, settings, choosers, preload});
        return *form;
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
    // The collection read ahead, as main() has it; none unless a test sets it.
    DataFilePreload* preload = nullptr;
    std::unique_ptr<ReaderWindow> form;
};
