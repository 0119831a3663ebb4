#include "TestFiles.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"

#include <QTest>

namespace {

using SlotMap = QMap<int, QString>;

QByteArray separators(int count) {
    return QByteArray("***\r\n").repeated(count);
}

} // namespace

class TestDataFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitting_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<SlotMap>("slots");
        QTest::newRow("six lines") << QByteArray("***\r\na\r\nb\r\n***\r\nc\r\n***\r\n") << 2
                                   << SlotMap{{0, ""}, {1, "\r\na\r\nb"}, {2, "\r\nc"}, {3, ""}};
        QTest::newRow("no closing separator")
            << QByteArray("***\r\na\r\n***\r\nlast") << 1 << SlotMap{{1, "\r\na"}, {2, "\r\nlast"}};
        QTest::newRow("empty file") << QByteArray() << -1 << SlotMap{{0, ""}};
        QTest::newRow("no separator") << QByteArray("x\r\ny") << -1 << SlotMap{{0, "\r\nx\r\ny"}};
        QTest::newRow("one separator") << QByteArray("***") << 0 << SlotMap{{0, ""}, {1, ""}};
        QTest::newRow("text before first separator") << QByteArray("intro\r\n***\r\na\r\n***") << 1
                                                     << SlotMap{{0, "\r\nintro"}, {1, "\r\na"}};
        QTest::newRow("separator with trailing text")
            << QByteArray("*** title\r\na\r\n***end") << 1 << SlotMap{{1, "\r\na"}};
        QTest::newRow("near-separators are text")
            << QByteArray("***\r\n**\r\n ***\r\n＊＊＊\r\n***") << 1
            << SlotMap{{1, QStringLiteral("\r\n**\r\n ***\r\n＊＊＊")}};
        QTest::newRow("empty lines and empty article")
            << QByteArray("***\r\n\r\na\r\n\r\n***\r\n***") << 2
            << SlotMap{{1, "\r\n\r\na\r\n"}, {2, ""}};
        QTest::newRow("LF line ends")
            << QByteArray("***\na\nb\n***\n") << 1 << SlotMap{{1, "\r\na\r\nb"}};
        QTest::newRow("CR line ends")
            << QByteArray("***\ra\rb\r***\r") << 1 << SlotMap{{1, "\r\na\r\nb"}};
        QTest::newRow("Big5 article") << QByteArray("***\r\n\xB3\x5C\xA6\x68\r\n***") << 1
                                      << SlotMap{{1, QStringLiteral("\r\n許多")}};
        QTest::newRow("UTF-8 article") << QByteArray("***\n\xE8\xA8\xB1\xE5\xA4\x9A\n***") << 1
                                       << SlotMap{{1, QStringLiteral("\r\n許多")}};
        QTest::newRow("9999 separators")
            << separators(9999) + "tail" << 9998 << SlotMap{{9998, ""}, {9999, "\r\ntail"}};
    }
    void splitting() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        QFETCH(SlotMap, slots);
        ProgramDirFixture dir;
        dir.write(QStringLiteral("data.txt"), bytes);
        ArticleSlots store;
        QCOMPARE(loadDataFile(dir.filePath(QStringLiteral("data.txt")), store), count);
        for (auto it = slots.cbegin(); it != slots.cend(); ++it)
            QCOMPARE(store(it.key()), it.value());
    }

    void limits_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("error");
        QTest::newRow("10000 separators") << separators(10000) << 9;
        QTest::newRow("text after the 10001st separator") << separators(10001) + "x" << 9;
        QTest::newRow("32768 separators") << separators(32768) << 6;
    }
    void limits() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        ProgramDirFixture dir;
        dir.write(QStringLiteral("data.txt"), bytes);
        ArticleSlots store;
        try {
            loadDataFile(dir.filePath(QStringLiteral("data.txt")), store);
            QFAIL("no error raised");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), error);
            // The report must say why in plain words.
            QVERIFY(e.detail().contains(QStringLiteral("data.txt")));
            QVERIFY(e.detail().contains(QStringLiteral("9998")));
        }
    }

    void storeBounds_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("valid");
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("0") << 0 << true;
        QTest::newRow("10000") << 10000 << true;
        QTest::newRow("10001") << 10001 << false;
    }
    void storeBounds() {
        QFETCH(int, index);
        QFETCH(bool, valid);
        ArticleSlots store;
        try {
            store(index);
            QVERIFY(valid);
        } catch (const RuntimeError& e) {
            QVERIFY(!valid);
            QCOMPARE(e.number(), 9);
        }
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
