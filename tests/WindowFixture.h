#pragma once

#include "FakeChoosers.h"
#include "FakeDialogs.h"
#include "FakeSettingsStore.h"
#include "TestFiles.h"
#include "app/Form1.h"
#include "platform/ProgramDirectory.h"
#include "store/DataFilePreload.h"

#include <QAction>
#include <QPlainTextEdit>

#include <memory>

// A real Form1 over a temporary program directory, fake dialogs and choosers
// and an empty settings store.
struct WindowFixture {
    WindowFixture() : directory(files.path()) {}

    Form1& window() {
        if (!form)
            form = std::make_unique<Form1>(
                ReaderServices{dialogs, directory, settings, choosers, preload});
        return *form;
    }
    QPlainTextEdit* text() { return window().findChild<QPlainTextEdit*>(QStringLiteral("Text1")); }
    QAction* action(const char* name) {
        return window().findChild<QAction*>(QString::fromLatin1(name));
    }

    ProgramDirFixture files;
    FixedDirectory directory;
    FakeDialogs dialogs;
    FakeSettingsStore settings;
    FakeChoosers choosers;
    // Set before window() to have start-up take a read-ahead collection.
    DataFilePreload* preload = nullptr;
    std::unique_ptr<Form1> form;
};
