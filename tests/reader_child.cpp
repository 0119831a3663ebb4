// Runs the reader's window on a program folder, presses the keys given (R for
// Right, L for Left), waits, and kills itself as the out-of-memory killer or a
// power cut would end it: no close, no handler. Run by tst_filesafety.
//
//   reader_child DIR KEYS WAIT_MS

#include "WindowFixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <csignal>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    FixedDirectory directory(args[1]);
    FakeDialogs dialogs;
    FakeSettingsStore settings;
    FakeChoosers choosers;
    ReaderWindow window(ReaderServices{dialogs, directory, settings, choosers});
    if (!window.start())
        return 1;
    window.show();
    // Keys come once the window shows an article, as a user's would.
    if (!QTest::qWaitFor([&] { return window.isStarted(); }, 10000))
        return 1;
    auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("articleText"));
    for (const QChar key : args[2])
        QTest::keyClick(text, key == u'L' ? Qt::Key_Left : Qt::Key_Right);
    QTimer::singleShot(args[3].toInt(), &window, [] { ::raise(SIGKILL); });
    return QApplication::exec();
}
