#include "app/Reader.h"
#include "app/ReaderWindow.h"
#include "core/ReaderController.h"
#include "platform/BackgroundTask.h"
#include "platform/IniSettingsStore.h"
#include "platform/ProgramDirectory.h"
#include "platform/TerminationSignals.h"
#include "widgets/QtChoosers.h"
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QTranslator>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[]) {
    if (const std::optional<int> answered = answerCommandLine(argc, argv))
        return *answered;
    preferTraditionalChineseGlyphs();
    installTerminationHandlers();
    try {
        ApplicationDirectory directory;
        QApplication app(argc, argv);
        // Indexed while Qt and the window start up; the application object
        // has set the locale the index reads with.
        ReaderController controller(directory);
        controller.startIndexing();
        describeApplication();
        installProgramFonts();
        QTranslator qtTexts;
        installQtTranslation(qtTexts);
        QtDialogs dialogs;
        IniSettingsStore settings;
        QtChoosers choosers;
        TerminationNotifier termination;
        int status = 0;
        {
            ReaderWindow window(
                ReaderServices{dialogs, directory, settings, choosers, &controller});
            endSessionOnRequest(window, termination, app);
            status = runReader(window);
        }
        // An index dropped with the collection stops within a block; it must
        // not outlive what it reads with.
        BackgroundTask::waitForDroppedWork(2000);
        return status;
    } catch (const std::exception& error) {
        // Only before the window exists: the window reports its own failures.
        std::fprintf(stderr, "Orvenla: %s\n", error.what());
        return 1;
    }
}
