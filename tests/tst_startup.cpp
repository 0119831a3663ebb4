#include "SessionStart.h"
#include "TestFiles.h"
#include "core/ReaderSession.h"
#include "platform/ProgramDirectory.h"
#include "platform/RuntimeError.h"
#include "store/DataFile.h"

#include <QFile>
#include <QTest>

#include <new>

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

// A session over a throw-away program directory.
struct SessionFixture {
    SessionFixture() : directory(files.path()), session(directory) {}

    // The error number start-up ended with, or 0.
    int start(const std::function<void()>& applySavedAppearance = [] {}) {
        try {
            startSession(session, applySavedAppearance);
        } catch (const RuntimeError& error) {
            detail = error.detail();
            return error.number();
        }
        return 0;
    }

    ProgramDirFixture files;
    FixedDirectory directory;
    ReaderSession session;
    QString detail;
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Start-up outcomes: a first failure restarts at the current article; a
    // second one ends start-up with that error.
    void outcomes_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const auto addRow = [](const char* name, const QByteArray& data, bool hasData, int error,
                               const QString& title, const QString& text) {
            QTest::newRow(name) << data << hasData << error << title << text;
        };
        addRow("normal start", ThreeArticles, true, 0, "Orvenla(1 of 3)", "\r\none");
        addRow("data file missing", QByteArray(), false, 53, "", "");
        addRow("empty data file", QByteArray(), true, 0, "Orvenla(1 of -1)", "");
        addRow("LF-only data file", QByteArray("***\none\n***\ntwo\n***\n"), true, 0,
               "Orvenla(1 of 2)", "\r\none");
        addRow("10000 separators", separators(10000), true, 9, "", "");
    }
    void outcomes() {
        QFETCH(QByteArray, data);
        QFETCH(bool, hasData);
        QFETCH(int, error);
        QFETCH(QString, title);
        QFETCH(QString, text);
        ProgramDirFixture files;
        if (hasData)
            files.write(QStringLiteral("data.txt"), data);
        FixedDirectory directory(files.path());
        ReaderSession session(directory);
        int raised = 0;
        try {
            startSession(session);
        } catch (const RuntimeError& e) {
            raised = e.number();
            // The report names the file concerned.
            if (raised == 53)
                QVERIFY(e.detail().contains(files.filePath(QStringLiteral("data.txt"))));
        }
        QCOMPARE(raised, error);
        QCOMPARE(session.isStarted(), error == 0);
        if (error == 0) {
            QCOMPARE(session.title(), title);
            QCOMPARE(session.currentText(), std::optional(text));
            // Start-up leaves both directions offered, as the window's design has them.
            QVERIFY(session.position().previousAvailable && session.position().nextAvailable);
        }
    }

    // Where start-up opens for each kind of bookmark file; a bookmark that
    // cannot be used opens article 1 rather than ending the program.
    void bookmarks_data() {
        QTest::addColumn<bool>("hasBookmark");
        QTest::addColumn<QByteArray>("bookmark");
        QTest::addColumn<int>("article");
        QByteArray twentyOneLines = "7\r\n";
        for (int i = 2; i <= 21; ++i)
            twentyOneLines += "x\r\n";
        QTest::newRow("no bookmark file") << false << QByteArray() << 1;
        QTest::newRow("3") << true << QByteArray("3\r\n") << 3;
        QTest::newRow("empty file") << true << QByteArray() << 1;
        QTest::newRow("first line empty") << true << QByteArray("\r\n5\r\n") << 1;
        QTest::newRow("later lines ignored") << true << QByteArray("4\r\n9\r\nzz") << 4;
        QTest::newRow("3.5") << true << QByteArray("3.5") << 4;
        QTest::newRow("0 shows the intro") << true << QByteArray("0\r\n") << 0;
        QTest::newRow("above the count opens the last") << true << QByteArray("50\r\n") << 20;
        QTest::newRow("21 lines") << true << twentyOneLines << 7;
    }
    void bookmarks() {
        QFETCH(bool, hasBookmark);
        QFETCH(QByteArray, bookmark);
        QFETCH(int, article);
        SessionFixture fx;
        fx.files.write(QStringLiteral("data.txt"), twentyArticles());
        if (hasBookmark)
            fx.files.write(QStringLiteral("MyPage.txt"), bookmark);
        QCOMPARE(fx.start(), 0);
        QCOMPARE(int(fx.session.position().current), article);
        QCOMPARE(fx.session.title(), QStringLiteral("Orvenla(%1 of 20)").arg(article));
        const QString text = article == 0    ? QStringLiteral("\r\nintro")
                             : article <= 20 ? QStringLiteral("\r\nA%1").arg(article)
                                             : QString();
        QCOMPARE(fx.session.currentText(), std::optional(text));
    }

    // The saved look runs first; a value it cannot apply costs neither the
    // bookmark nor the start, but running out of memory ends start-up.
    void appearanceStage_data() {
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("article");
        QTest::newRow("applied") << 0 << 0 << 5;
        QTest::newRow("value cannot be applied") << 13 << 0 << 5;
        QTest::newRow("out of memory") << 7 << 7 << 0;
    }
    void appearanceStage() {
        QFETCH(int, failure);
        QFETCH(int, error);
        QFETCH(int, article);
        SessionFixture fx;
        fx.files.write(QStringLiteral("data.txt"), twentyArticles());
        fx.files.write(QStringLiteral("MyPage.txt"), "5\r\n");
        QString pathSeen;
        QCOMPARE(fx.start([&] {
            pathSeen = fx.session.dataFilePath();
            if (failure == 13)
                throw RuntimeError::typeMismatch();
            if (failure == 7)
                throw std::bad_alloc();
        }),
                 error);
        QCOMPARE(pathSeen, fx.files.path() + QStringLiteral("/data.txt"));
        QCOMPARE(int(fx.session.position().current), article);
    }

    // The article on show goes into the bookmark, and the next start opens there.
    void shutdownWritesBookmark() {
        SessionFixture fx;
        fx.files.write(QStringLiteral("data.txt"), twentyArticles());
        QCOMPARE(fx.start(), 0);
        for (int i = 1; i < 8; ++i)
            fx.session.showNextArticle();
        fx.session.saveBookmark();
        QCOMPARE(fx.files.read(QStringLiteral("MyPage.txt")), QByteArray("8\r\n"));

        FixedDirectory same(fx.files.path());
        ReaderSession next(same);
        startSession(next);
        QCOMPARE(next.title(), QStringLiteral("Orvenla(8 of 20)"));

        // Saved, the article is not written again until the reader moves.
        QVERIFY(QFile::remove(fx.files.filePath(QStringLiteral("MyPage.txt"))));
        fx.session.saveBookmarkIfMoved();
        QVERIFY(!fx.files.exists(QStringLiteral("MyPage.txt")));
    }

    // Without its own folder the reader reads no other: the current folder's
    // data.txt is not the user's collection.
    void lostProgramFolderIsReported() {
        const FixedDirectory nowhere{QString()};
        ReaderSession session(nowhere);
        try {
            startSession(session);
            QFAIL("started without a program folder");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 75);
            QVERIFY(e.detail().contains(QStringLiteral("/proc/self/exe")));
        }
    }

    void readOnlyBookmarkIsRefusedAndKept() {
        SessionFixture fx;
        fx.files.write(QStringLiteral("data.txt"), twentyArticles());
        fx.files.write(QStringLiteral("MyPage.txt"), "5\r\n");
        QFile::setPermissions(fx.files.filePath(QStringLiteral("MyPage.txt")), QFile::ReadOwner);
        QCOMPARE(fx.start(), 0);
        fx.session.showNextArticle();
        try {
            fx.session.saveBookmark();
            QFAIL("a read-only bookmark was overwritten");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 75);
            QVERIFY(e.detail().contains(fx.files.filePath(QStringLiteral("MyPage.txt"))));
        }
        QCOMPARE(fx.files.read(QStringLiteral("MyPage.txt")), QByteArray("5\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
