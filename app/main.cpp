#include "app/Form1.h"
#include "app/Reader.h"
#include "platform/IniSettingsStore.h"
#include "platform/ProgramDirectory.h"
#include "platform/QtChoosers.h"
#include "platform/QtDialogs.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    installFontSubstitutions();
    // Qt's own dialogs (the colour chooser's buttons and labels) speak the
    // reader's language when Qt's translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan),
                     QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QtDialogs dialogs;
    ApplicationDirectory directory;
    IniSettingsStore settings;
    QtChoosers choosers;
    Form1 window(ReaderServices{dialogs, directory, settings, choosers});
    return runReader(window);
}
