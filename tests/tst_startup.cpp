#include "WindowFixture.h"

#include <QTest>

namespace {

const QByteArray ThreeArticles("intro\r\n***\r\none\r\n***\r\ntwo\r\n***\r\nthree\r\n***\r\n");

QByteArray twentyArticles() {
    QByteArray bytes = "intro\r\n***\r\n";
    for (int i = 1; i <= 20; ++i)
        bytes += "A" + QByteArray::number(i) + "\r\n***\r\n";
    return bytes;
}

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
        QTest::addColumn<bool>("readAhead");
        // Each outcome also with the collection read ahead while the window is built:
        // start-up must end the same either way.
        const auto addRow = [](const char* name, const QByteArray& data, bool hasData, int error,
                               const QString& title, const QString& text) {
            for (const bool readAhead : {false, true})
                QTest::addRow("%s%s", name, readAhead ? ", read ahead" : "")
                    << data << hasData << error << title << text << readAhead;
        };
        addRow("normal start", ThreeArticles, true, 0, "Orvenla(1 of 3)", "\r\none");
        addRow("data file missing", QByteArray(), false, 53, "Orvenla", "");
        addRow("empty data file", QByteArray(), true, 0, "Orvenla(1 of -1)", "");
        addRow("LF-only data file", QByteArray("***\none\n***\ntwo\n***\n"), true, 0,
               "Orvenla(1 of 2)", "\r\none");
        addRow("10000 separators", separators(10000), true, 9, "Orvenla", "");
        addRow("text after 10001st separator", separators(10001) + "x", true, 9, "Orvenla", "");
        addRow("32768 separators", separators(32768), true, 6, "Orvenla", "");
    }
    void outcomes() {
        QFETCH(QByteArray, data);
        QFETCH(bool, hasData);
        QFETCH(int, error);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, readAhead);
        DataFilePreload preload;
        WindowFixture fx;
        if (hasData)
            fx.files.write(QStringLiteral("data.txt"), data);
        if (readAhead) {
            preload.start(fx.directory.filePath(QStringLiteral("data.txt")));
            fx.preload = &preload;
        }
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

    // Memory running out anywhere in start-up ends it with error 7, not a crash.
    void outOfMemoryInSettingsIsReported() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), ThreeArticles);
        fx.settings.outOfMemory = true;
        QVERIFY(!fx.window().Form_Load());
        QCOMPARE(fx.dialogs.reported->number(), 7);
        QCOMPARE(fx.window().exitStatus(), 1);
    }

    // Where start-up opens for each kind of bookmark file; a bookmark that
    // cannot be used opens article 1 rather than ending the program.
    void bookmarks_data() {
        QTest::addColumn<bool>("hasBookmark");
        QTest::addColumn<QByteArray>("bookmark");
        QTest::addColumn<int>("article");
        QTest::addColumn<QString>("text");
        QByteArray twentyOneLines = "7\r\n";
        for (int i = 2; i <= 21; ++i)
            twentyOneLines += "x\r\n";
        QTest::newRow("no bookmark file") << false << QByteArray() << 1 << "\nA1";
        QTest::newRow("3") << true << QByteArray("3\r\n") << 3 << "\nA3";
        QTest::newRow("empty file") << true << QByteArray() << 1 << "\nA1";
        QTest::newRow("first line empty") << true << QByteArray("\r\n5\r\n") << 1 << "\nA1";
        QTest::newRow("later lines ignored") << true << QByteArray("4\r\n9\r\nzz") << 4 << "\nA4";
        QTest::newRow("blanks around 12") << true << QByteArray(" 12 \r\n") << 12 << "\nA12";
        QTest::newRow("2.5") << true << QByteArray("2.5") << 2 << "\nA2";
        QTest::newRow("3.5") << true << QByteArray("3.5") << 4 << "\nA4";
        QTest::newRow("0 shows the intro") << true << QByteArray("0\r\n") << 0 << "\nintro";
        QTest::newRow("above the count") << true << QByteArray("50\r\n") << 50 << "";
        QTest::newRow("last slot") << true << QByteArray("10000\r\n") << 10000 << "";
        QTest::newRow("past the last slot") << true << QByteArray("10001\r\n") << 1 << "\nA1";
        QTest::newRow("letters") << true << QByteArray("abc\r\n") << 1 << "\nA1";
        QTest::newRow("12 then letters") << true << QByteArray("12abc\r\n") << 1 << "\nA1";
        QTest::newRow("out of 16-bit range") << true << QByteArray("40000\r\n") << 1 << "\nA1";
        QTest::newRow("negative") << true << QByteArray("-2\r\n") << 1 << "\nA1";
        QTest::newRow("21 lines") << true << twentyOneLines << 7 << "\nA7";
    }
    void bookmarks() {
        QFETCH(bool, hasBookmark);
        QFETCH(QByteArray, bookmark);
        QFETCH(int, article);
        QFETCH(QString, text);
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), twentyArticles());
        if (hasBookmark)
            fx.files.write(QStringLiteral("MyPage.txt"), bookmark);
        QVERIFY(fx.window().Form_Load());
        QCOMPARE(int(fx.window().CurArticle), article);
        QCOMPARE(fx.window().windowTitle(), QStringLiteral("Orvenla(%1 of 20)").arg(article));
        QCOMPARE(fx.text()->toPlainText(), text);
        QVERIFY(fx.dialogs.messages.isEmpty());
        QVERIFY(!fx.dialogs.reported);
    }

    // Closing writes the article on show, and the next start opens there.
    void shutdownWritesBookmark() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), twentyArticles());
        QVERIFY(fx.window().Form_Load());
        fx.window().show();
        for (int i = 1; i < 8; ++i)
            fx.window().Command2_Click();
        fx.window().close();
        QCOMPARE(fx.files.read(QStringLiteral("MyPage.txt")), QByteArray("8\r\n"));
        QCOMPARE(fx.window().exitStatus(), 0);

        WindowFixture next;
        next.files.write(QStringLiteral("data.txt"), twentyArticles());
        next.files.write(QStringLiteral("MyPage.txt"), fx.files.read(QStringLiteral("MyPage.txt")));
        QVERIFY(next.window().Form_Load());
        QCOMPARE(next.window().windowTitle(), QStringLiteral("Orvenla(8 of 20)"));
    }

    void readOnlyBookmarkEndsWithReport() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), twentyArticles());
        fx.files.write(QStringLiteral("MyPage.txt"), "5\r\n");
        QFile::setPermissions(fx.files.filePath(QStringLiteral("MyPage.txt")), QFile::ReadOwner);
        QVERIFY(fx.window().Form_Load());
        fx.window().show();
        fx.window().Command2_Click();
        fx.window().close();
        QVERIFY(fx.dialogs.reported);
        QVERIFY(fx.dialogs.reported->reportText().contains(fx.files.filePath("MyPage.txt")));
        QCOMPARE(fx.window().exitStatus(), 1);
        QCOMPARE(fx.files.read(QStringLiteral("MyPage.txt")), QByteArray("5\r\n"));
    }

    // A start that failed never rewrites (or creates) the bookmark.
    void failedStartWritesNoBookmark_data() {
        QTest::addColumn<bool>("hasBookmark");
        QTest::newRow("bookmark kept") << true;
        QTest::newRow("none created") << false;
    }
    void failedStartWritesNoBookmark() {
        QFETCH(bool, hasBookmark);
        WindowFixture fx;
        if (hasBookmark)
            fx.files.write(QStringLiteral("MyPage.txt"), "5\r\n");
        QVERIFY(!fx.window().Form_Load());
        fx.window().close();
        QCOMPARE(fx.files.exists(QStringLiteral("MyPage.txt")), hasBookmark);
        if (hasBookmark)
            QCOMPARE(fx.files.read(QStringLiteral("MyPage.txt")), QByteArray("5\r\n"));
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
