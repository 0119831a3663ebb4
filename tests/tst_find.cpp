#include "WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

const QByteArray Poems = "***\r\n春眠不覺曉\r\n***\r\n床前明\r\n月光\r\n***\r\n"
                         "明月幾時有\r\n***\r\n無\r\n***\r\n";

} // namespace

// Each key path of finding text, as the user presses it: Ctrl+F, typing,
// Enter, Esc, F3 and Shift+F3 (written here as F, text, E, Esc, F3, S).
class TestFind : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keyPaths_data() {
        QTest::addColumn<QString>("bookmark");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("said");
        const QString moon = QStringLiteral("明月");
        QTest::newRow("Ctrl+F, Enter: across a line end in the next article")
            << "1" << QStringList{"F", moon, "E"} << "Orvenla(2 of 4)" << moon << 0 << "";
        QTest::newRow("Enter again: the article after")
            << "1" << QStringList{"F", moon, "E", "E"} << "Orvenla(3 of 4)" << moon << 0 << "";
        QTest::newRow("Esc, then F3 from the text box")
            << "1" << QStringList{"F", moon, "E", "Esc", "F3"} << "Orvenla(3 of 4)" << moon << 0
            << "";
        QTest::newRow("in the article on show, then Shift+F3 back")
            << "3" << QStringList{"F", moon, "E", "S"} << "Orvenla(2 of 4)" << moon << 0 << "";
        QTest::newRow("past the last on to the first")
            << "4" << QStringList{"F", "春眠", "E"} << "Orvenla(1 of 4)"
            << "春眠" << 1 << "已從第一篇再找起";
        QTest::newRow("round to the only match, on show")
            << "3" << QStringList{"F", "幾時", "E", "E"} << "Orvenla(3 of 4)"
            << "幾時" << 1 << "已從第一篇再找起";
        QTest::newRow("no match") << "2" << QStringList{"F", "秋", "E"} << "Orvenla(2 of 4)"
                                  << "" << 1 << "找不到「秋」";
    }
    void keyPaths() {
        QFETCH(QString, bookmark);
        QFETCH(QStringList, keys);
        QFETCH(QString, title);
        QFETCH(QString, selected);
        QFETCH(int, beeps);
        QFETCH(QString, said);
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), Poems);
        fx.files.write(QStringLiteral("MyPage.txt"), bookmark.toLatin1());
        QVERIFY(fx.startWindow());
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowActive(&fx.window()));
        auto* field = fx.window().findChild<QLineEdit*>(QStringLiteral("findField"));
        for (const QString& key : keys) {
            QWidget* focus = QApplication::focusWidget();
            if (key == u"F") {
                QTest::keyClick(focus, Qt::Key_F, Qt::ControlModifier);
                QVERIFY(field->hasFocus());
            } else if (key == u"E") {
                const QString before =
                    fx.window().windowTitle() + fx.text()->textCursor().selectedText();
                QTest::keyClick(focus, Qt::Key_Return);
                // Done once the title or the selection has changed, or a beep came.
                QTest::qWait(50);
                QTRY_VERIFY(fx.window().windowTitle() + fx.text()->textCursor().selectedText() !=
                                before ||
                            fx.dialogs.beeps > 0);
            } else if (key == u"Esc") {
                QTest::keyClick(focus, Qt::Key_Escape);
                QVERIFY(!field->isVisible() && fx.text()->hasFocus());
            } else if (key == u"F3" || key == u"S") {
                QTest::keyClick(focus, Qt::Key_F3,
                                key == u"S" ? Qt::ShiftModifier : Qt::NoModifier);
            } else {
                field->setText(key);
            }
        }
        QTRY_COMPARE(fx.window().windowTitle(), title);
        QTRY_COMPARE(fx.text()->textCursor().selectedText().remove(QChar(0x2029)), selected);
        QCOMPARE(fx.dialogs.beeps, beeps);
        const QString told = fx.dialogs.messages.join(u' ') +
                             fx.window().findChild<QLabel*>(QStringLiteral("findNote"))->text();
        QVERIFY2(told.contains(said), qPrintable(told));
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
