#include "WindowFixture.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
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

    void longLinesWrap_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("breaksAtBlanks");
        const QString words = QStringLiteral("wrapping keeps every word whole ");
        QTest::newRow("words") << words.repeated(20) << true;
        QTest::newRow("many words") << words.repeated(2000) << true;
        QTest::newRow("no break opportunity") << QString(400000, QLatin1Char('x')) << false;
    }
    // Lines wrap inside the box, at blanks where there are any, and a line
    // without any break opportunity shows as quickly as ordinary text does.
    void longLinesWrap() {
        QFETCH(QString, line);
        QFETCH(bool, breaksAtBlanks);
        WindowFixture fx;
        fx.window().ArticleText.appendLines(1, line);
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));

        QElapsedTimer timer;
        timer.start();
        fx.window().ShowArticle(1);
        fx.text()->viewport()->repaint();
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));

        const QTextBlock block = fx.text()->document()->lastBlock();
        QCOMPARE(block.text(), line);
        const QTextLayout* layout = block.layout();
        QVERIFY(layout->lineCount() > 1);
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine row = layout->lineAt(i);
            QVERIFY(row.naturalTextWidth() <= fx.text()->viewport()->width());
            if (breaksAtBlanks && i > 0)
                QCOMPARE(line.at(row.textStart() - 1), QLatin1Char(' '));
        }
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
