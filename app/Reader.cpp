#include "app/Reader.h"

#include "app/Form1.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int runReader(Form1& window) {
    if (!window.Form_Load())
        return window.exitStatus();
    window.show();
    const int status = QApplication::exec();
    return window.exitStatus() != 0 ? window.exitStatus() : status;
}

void installFontSubstitutions() {
    const QStringList mingFaces{QStringLiteral("Noto Serif CJK TC"),
                                QStringLiteral("AR PL UMing TW")};
    QFont::insertSubstitutions(QStringLiteral("新細明體"), mingFaces);
    QFont::insertSubstitutions(QStringLiteral("PMingLiU"), mingFaces);
}

void installQtTranslation(QTranslator& translator) {
    const QLocale taiwan(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan);
    if (translator.load(taiwan, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
}
