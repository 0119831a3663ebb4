#include "WindowFixture.h"

#include <QTest>

namespace {

const QByteArray ThreeArticles("intro\r\n***\r\none\r\n***\r\ntwo\r\n***\r\nthree\r\n***\r\n");

QByteArray separators(int count) {
    return QByteArray("***\r\n").repeated(count);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Start-up outcomes: a first failure restarts at the current article; a
    // second one ends the program with a report and the window never shown.
    void outcomes_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("normal start") << ThreeArticles << true << 0 << "Orvenla(1 of 3)"
                                      << "\r\none";
        QTest::newRow("data file missing") << QByteArray() << false << 53 << "Orvenla"
                                           << "";
        QTest::newRow("empty data file") << QByteArray() << true << 0 << "Orvenla(1 of -1)"
                                         << "";
        QTest::newRow("LF-only data file")
            << QByteArray("***\none\n***\ntwo\n***\n") << true << 0 << "Orvenla(1 of 2)"
            << "\r\none";
        QTest::newRow("10000 separators") << separators(10000) << true << 9 << "Orvenla"
                                          << "";
        QTest::newRow("text after 10001st separator")
            << separators(10001) + "x" << true << 9 << "Orvenla"
            << "";
        QTest::newRow("32768 separators") << separators(32768) << true << 6 << "Orvenla"
                                          << "";
    }
    void outcomes() {
        QFETCH(QByteArray, data);
        QFETCH(bool, hasData);
        QFETCH(int, error);
        QFETCH(QString, title);
        QFETCH(QString, text);
        WindowFixture fx;
        if (hasData)
            fx.files.write(QStringLiteral("data.txt"), data);
        const bool started = fx.window().Form_Load();
        QCOMPARE(started, error == 0);
        QCOMPARE(fx.window().exitStatus() != 0, error != 0);
        QCOMPARE(fx.dialogs.reported.has_value(), error != 0);
        if (error != 0)
            QCOMPARE(fx.dialogs.reported->number(), error);
        QCOMPARE(fx.window().windowTitle(), title);
        QCOMPARE(fx.text()->toPlainText(), QString(text).replace(QStringLiteral("\r\n"), "\n"));
        QVERIFY(!fx.window().isVisible());
    }

    void dataPathIsInsideProgramDirectory() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), ThreeArticles);
        QVERIFY(fx.window().Form_Load());
        QCOMPARE(fx.window().DataPath, fx.files.path() + QStringLiteral("/data.txt"));
    }

    void missingDataFileReportNamesThePath() {
        WindowFixture fx;
        QVERIFY(!fx.window().Form_Load());
        QVERIFY(fx.dialogs.reported->reportText().contains(fx.files.filePath("data.txt")));
    }

    // Menus are left as the design made them, whatever article is on show.
    void startUpTouchesNoMenu() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), QByteArray("***\r\nonly\r\n***"));
        QVERIFY(fx.window().Form_Load());
        QCOMPARE(fx.window().windowTitle(), QStringLiteral("Orvenla(1 of 1)"));
        QVERIFY(fx.action("mpre")->isEnabled());
        QVERIFY(fx.action("mnext")->isEnabled());
        QVERIFY(!fx.action("mstart")->isEnabled());
    }

    void articleTextIsNeverMarkup() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), QByteArray("***\r\n<b>bold</b> &amp;\r\n***"));
        QVERIFY(fx.window().Form_Load());
        QCOMPARE(fx.text()->toPlainText(), QStringLiteral("\n<b>bold</b> &amp;"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
