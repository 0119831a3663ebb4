#include "app/Reader.h"

#include "app/ReaderWindow.h"
#include "appearance/AppearanceText.h"
#include "platform/ProgramDirectory.h"
#include "platform/TerminationSignals.h"
#include "store/DataFilePreload.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QTranslator>

void preloadCollection(DataFilePreload& preload, const ProgramDirectory& directory) {
    // Without a directory there is nothing to read ahead; start-up reports it.
    if (!directory.path().isEmpty())
        preload.start(directory.filePath(QStringLiteral("data.txt")));
}

bool startReader(ReaderWindow& window) {
    // Make the native window while the collection is still being read, so that
    // showing it afterwards only maps it.
    window.winId();
    return window.start();
}

int runReader(ReaderWindow& window) {
    if (!startReader(window))
        return window.exitStatus();
    window.show();
    const int status = QApplication::exec();
    return window.exitStatus() != 0 ? window.exitStatus() : status;
}

void endSessionOnRequest(ReaderWindow& window, TerminationNotifier& termination,
                         QGuiApplication& application) {
    QObject::connect(&termination, &TerminationNotifier::terminationRequested, &window,
                     &ReaderWindow::endSession);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.endSession(); });
}

void describeApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Orvenla"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVENLA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(ORVENLA_APP_ID));
}

void preferTraditionalChineseGlyphs() {
    // Qt asks fontconfig for the faces that draw what a font lacks, and
    // fontconfig ranks the CJK faces by the language of the locale; outside a
    // Traditional Chinese locale a Japanese face wins, with its own glyph
    // shapes and punctuation. Naming the language here ranks them as a
    // Taiwanese desktop does, for every font the reader and its boxes use.
    qputenv("FC_LANG", "zh-tw");
}

QFont programFont() {
    QFont font(appearance::DesignFace.toString(), 9);
    font.setWeight(QFont::Normal);
    return font;
}

void installProgramFonts() {
    const QStringList mingFaces{QStringLiteral("Noto Serif CJK TC"),
                                QStringLiteral("AR PL UMing TW")};
    QFont::insertSubstitutions(appearance::DesignFace.toString(), mingFaces);
    QFont::insertSubstitutions(QStringLiteral("PMingLiU"), mingFaces);
    QApplication::setFont(programFont());
}

void installQtTranslation(QTranslator& translator) {
    const QLocale taiwan(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan);
    if (translator.load(taiwan, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
}
