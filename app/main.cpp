#include "app/Form1.h"
#include "app/Reader.h"
#include "platform/IniSettingsStore.h"
#include "platform/ProgramDirectory.h"
#include "platform/QtChoosers.h"
#include "platform/QtDialogs.h"
#include "store/DataFilePreload.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char* argv[]) {
    ApplicationDirectory directory;
    DataFilePreload preload;
    preloadCollection(preload, directory);
    QApplication app(argc, argv);
    installFontSubstitutions();
    QTranslator qtTexts;
    installQtTranslation(qtTexts);
    QtDialogs dialogs;
    IniSettingsStore settings;
    QtChoosers choosers;
    Form1 window(ReaderServices{dialogs, directory, settings, choosers, &preload});
    return runReader(window);
}
