#include "app/Reader.h"

#include "app/ReaderWindow.h"
#include "appearance/AppearanceText.h"
#include "appearance/TextAppearance.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QTranslator>

#include <cstdio>

namespace {

QString helpText() {
    return QStringLiteral("用法：orvenla [選項]\n"
                          "\n"
                          "Orvenla 短文閱讀器：一篇一篇閱讀程式所在目錄裡 data.txt 收集的短文，\n"
                          "並在同一目錄的 MyPage.txt 記住讀到哪一篇。\n"
                          "\n"
                          "選項：\n"
                          "  -h, --help     顯示這份說明後結束\n"
                          "  -v, --version  顯示版本後結束\n"
                          "\n"
                          "按鍵：\n"
                          "  Enter、→     下一篇        ←         上一篇\n"
                          "  Ctrl+F       尋找          F3        找下一個\n"
                          "  Shift+F3     找上一個      Ctrl+G    到 ? 篇\n"
                          "  F1           說明          Ctrl+Q    關閉\n"
                          "  Ctrl+T       目錄（輸入文字篩選標題，Ctrl+F 改篩全文；\n"
                          "               上下鍵選擇，Enter 前往，Esc 關閉）\n"
                          "  F8           直排（再按一次回到橫排）\n"
                          "  Ctrl++、Ctrl+=  放大       Ctrl+-    縮小\n"
                          "  Ctrl+0       原始大小      Ctrl+滾輪 縮放\n"
                          "  F10、Alt     選單列\n"
                          "\n"
                          "其他參數交給 Qt（例如 -platform、-style）。詳見 man orvenla。\n");
}

} // namespace

std::optional<int> answerCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // Qt's own one-dash options, such as -reverse, stay whole words instead of
    // runs of letters that could spell -v or -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help", "?"});
    const QCommandLineOption version(QStringList{"v", "version"});
    parser.addOptions({help, version});
    // Unknown options are no error: they are Qt's, or ignored as they always were.
    parser.parse(arguments);
    QString answer;
    if (parser.isSet(help))
        answer = helpText();
    else if (parser.isSet(version))
        answer = QStringLiteral("Orvenla %1\n").arg(QStringLiteral(ORVENLA_VERSION));
    else
        return std::nullopt;
    std::fputs(answer.toLocal8Bit().constData(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

bool startReader(ReaderWindow& window) {
    // Make the native window while the collection is indexed, so that
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

void installProgramFonts() {
    const QStringList mingFaces{QStringLiteral("Noto Serif CJK TC"),
                                QStringLiteral("AR PL UMing TW")};
    QFont::insertSubstitutions(appearance::DesignFace.toString(), mingFaces);
    QFont::insertSubstitutions(QStringLiteral("PMingLiU"), mingFaces);
    QApplication::setFont(appearance::programFont());
}

void installQtTranslation(QTranslator& translator) {
    const QLocale taiwan(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan);
    if (translator.load(taiwan, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
}
