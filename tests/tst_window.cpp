#include "WindowFixture.h"

#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

class TestWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void design() {
        WindowFixture fx;
        Form1& w = fx.window();
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvenla"));
        QCOMPARE(w.font().family(), QStringLiteral("新細明體"));
        QCOMPARE(w.font().pointSize(), 9);
        QVERIFY(w.font().bold());
        QVERIFY(!w.windowIcon().isNull());

        // Six top-level entries; "設定" holds two; eight items in all.
        const QList<QAction*> top = w.menuBar()->actions();
        QStringList captions;
        for (QAction* a : top)
            captions << a->text();
        QCOMPARE(captions,
                 (QStringList{"設定", "首篇", "到 ? 篇", "<<<上一篇", "下一篇>>>", "說明"}));
        QMenu* settings = top[0]->menu();
        QVERIFY(settings);
        QStringList sub;
        for (QAction* a : settings->actions())
            sub << a->text();
        QCOMPARE(sub, (QStringList{"字型", "背景"}));

        const QStringList names{"mfont", "mbgColor", "mstart", "mto", "mpre", "mnext", "mhelp"};
        for (const QString& name : names) {
            QAction* a = w.findChild<QAction*>(name);
            QVERIFY2(a, qPrintable(name));
            QVERIFY(a->isVisible());
            QCOMPARE(a->isEnabled(), name != "mstart");
            QVERIFY(a->shortcut().isEmpty());
            QVERIFY(!a->isSeparator());
        }

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.centralWidget()->size(), QSize(712, 449));
        QPlainTextEdit* text = fx.text();
        QCOMPARE(text->geometry(), QRect(0, 0, 713, 449));
        QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QVERIFY(!text->isReadOnly());
        QVERIFY(text->toPlainText().isEmpty());
        QCOMPARE(QApplication::focusWidget(), text);
    }

    // A larger frame leaves the text box at its design size.
    void largerFrameKeepsTextBox() {
        WindowFixture fx;
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
        fx.window().resize(1000, 800);
        QCOMPARE(fx.text()->geometry(), QRect(0, 0, 713, 449));
    }

    // The session ending while a command's modal box is open: the box goes as
    // on Cancel, then the window closes as the user's close does.
    void sessionEndDismissesModalBox() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), "***\r\na\r\n***\r\nb\r\n***\r\n");
        fx.files.write(QStringLiteral("MyPage.txt"), "2");
        QVERIFY(fx.window().Form_Load());
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
        QDialog box(&fx.window());
        QTimer::singleShot(0, &fx.window(), &Form1::endSession);
        QCOMPARE(box.exec(), int(QDialog::Rejected));
        QTRY_VERIFY(!fx.window().isVisible());
        QCOMPARE(fx.files.read(QStringLiteral("MyPage.txt")), QByteArray("2\r\n"));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
