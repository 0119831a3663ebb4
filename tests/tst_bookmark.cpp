#include "TestFiles.h"
#include "platform/RuntimeError.h"
#include "store/BookmarkFile.h"

#include <QFile>
#include <QTest>

class TestBookmark : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("article");
        QTest::newRow("empty") << "" << 1;
        QTest::newRow("plain") << "57" << 57;
        QTest::newRow("blanks around") << "  12  " << 12;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("last slot") << "10000" << 10000;
        QTest::newRow("past the last slot") << "10001" << 1;
        QTest::newRow("negative") << "-1" << 1;
        QTest::newRow("letters") << "abc" << 1;
        QTest::newRow("number then letters") << "12abc" << 1;
        QTest::newRow("blanks only") << "   " << 1;
        QTest::newRow("out of 16-bit range") << "40000" << 1;
        QTest::newRow("below 16-bit range") << "-40000" << 1;
    }
    void firstLine() {
        QFETCH(QString, line);
        QFETCH(int, article);
        QCOMPARE(int(bookmarkedArticle(line)), article);
    }

    void reading_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("twentieth");
        QByteArray twenty;
        for (int i = 1; i <= 20; ++i)
            twenty += QByteArray::number(i) + "\r\n";
        QTest::newRow("one line") << QByteArray("57\r\n") << 0 << "57"
                                  << "";
        QTest::newRow("LF ends") << QByteArray("8\nextra\n") << 0 << "8"
                                 << "";
        QTest::newRow("empty file") << QByteArray() << 0 << ""
                                    << "";
        QTest::newRow("20 lines") << twenty << 0 << "1"
                                  << "20";
        QTest::newRow("21 lines") << twenty + "21" << 9 << "1"
                                  << "20";
    }
    void reading() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        QFETCH(QString, first);
        QFETCH(QString, twentieth);
        ProgramDirFixture dir;
        dir.write(QStringLiteral("MyPage.txt"), bytes);
        BookmarkLines lines;
        int raised = 0;
        try {
            readBookmarkFile(dir.filePath(QStringLiteral("MyPage.txt")), lines);
        } catch (const RuntimeError& e) {
            raised = e.number();
        }
        QCOMPARE(raised, error);
        QCOMPARE(lines(1), first);
        QCOMPARE(lines(20), twentieth);
    }

    void missingFileIsFileNotFound() {
        ProgramDirFixture dir;
        BookmarkLines lines;
        QVERIFY_THROWS_EXCEPTION(
            RuntimeError, readBookmarkFile(dir.filePath(QStringLiteral("MyPage.txt")), lines));
    }

    void writing_data() {
        QTest::addColumn<int>("article");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("57") << 57 << QByteArray("\x35\x37\x0D\x0A");
        QTest::newRow("0") << 0 << QByteArray("\x30\x0D\x0A");
        QTest::newRow("-1") << -1 << QByteArray("-1\r\n");
        QTest::newRow("10000") << 10000 << QByteArray("10000\r\n");
    }
    void writing() {
        QFETCH(int, article);
        QFETCH(QByteArray, bytes);
        ProgramDirFixture dir;
        dir.write(QStringLiteral("MyPage.txt"), "a much longer old bookmark\r\nwith lines\r\n");
        writeBookmarkFile(dir.filePath(QStringLiteral("MyPage.txt")), qint16(article));
        QCOMPARE(dir.read(QStringLiteral("MyPage.txt")), bytes);
    }

    void readOnlyFileIsRefusedAndKept() {
        ProgramDirFixture dir;
        dir.write(QStringLiteral("MyPage.txt"), "3\r\n");
        const QString path = dir.filePath(QStringLiteral("MyPage.txt"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        try {
            writeBookmarkFile(path, 8);
            QFAIL("a read-only bookmark was overwritten");
        } catch (const RuntimeError& e) {
            QVERIFY(e.detail().contains(path));
        }
        QCOMPARE(dir.read(QStringLiteral("MyPage.txt")), QByteArray("3\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBookmark)
#include "tst_bookmark.moc"
