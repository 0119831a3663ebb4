#include "TestFiles.h"
#include "bench/Collections.h"
#include "store/DataFile.h"

#include <QStringDecoder>
#include <QTest>

// The benchmark collections: ratios are only comparable between runs if the
// text is the same every time and is what it claims to be.
class TestCollections : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void generated_data() {
        QTest::addColumn<int>("encoding");
        // Bytes per byte of Big5 text, in tenths: a Han character takes three
        // in UTF-8 where it takes two in Big5.
        QTest::addColumn<int>("lowest");
        QTest::addColumn<int>("highest");
        QTest::newRow("Big5") << int(bench::Encoding::Big5) << 8 << 13;
        QTest::newRow("UTF-8") << int(bench::Encoding::Utf8) << 12 << 19;
    }
    void generated() {
        QFETCH(int, encoding);
        QFETCH(int, lowest);
        QFETCH(int, highest);
        const auto chosen = bench::Encoding(encoding);
        constexpr int Articles = 40;
        constexpr qint64 ArticleBytes = 3000;
        const QByteArray bytes = bench::generateCollection(chosen, Articles, ArticleBytes, 5);
        QCOMPARE(bench::generateCollection(chosen, Articles, ArticleBytes, 5), bytes);
        QVERIFY(bench::generateCollection(chosen, Articles, ArticleBytes, 6) != bytes);
        QVERIFY(bytes.size() > Articles * ArticleBytes * lowest / 10);
        QVERIFY(bytes.size() < Articles * ArticleBytes * highest / 10);
        // Every line ends with CR LF.
        QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
        QCOMPARE(bytes.count('\r'), bytes.count('\n'));

        ProgramDirFixture dir;
        dir.write(QStringLiteral("data.txt"), bytes);
        const DataFileIndex index =
            indexDataFile(dir.filePath(QStringLiteral("data.txt")), narrowCodecsFor("UTF-8"));
        QCOMPARE(index.count(), Articles);
        qsizetype letters = 0;
        for (int i = 1; i <= Articles; ++i) {
            const QString text = index.slotText(i).value_or(QString());
            QVERIFY(!text.contains(QChar::ReplacementCharacter));
            const QStringList lines = text.mid(2).split(QStringLiteral("\r\n"));
            for (const QString& line : lines) {
                QVERIFY2(line.size() >= 20 && line.size() <= 110, qPrintable(line));
                for (QChar c : line)
                    letters += c.isLetterOrNumber() && c.unicode() < 0x80;
            }
        }
        QVERIFY(letters > 0); // some ASCII mixed in
    }

    // Both encodings must carry the same text, or their timings compare
    // different amounts of work.
    void sameTextInEachEncoding() {
        const auto text = [](bench::Encoding encoding) -> QString {
            QStringDecoder decoder(bench::codecName(encoding));
            return decoder.decode(bench::generateCollection(encoding, 40, 3000, 5));
        };
        const QString big5 = text(bench::Encoding::Big5);
        QVERIFY(big5.size() > 40 * 3000 / 4);
        QCOMPARE(text(bench::Encoding::Utf8), big5);
    }
};

QTEST_GUILESS_MAIN(TestCollections)
#include "tst_collections.moc"
