#include "text/Big5Decoder.h"
#include "text/LargeBuffer.h"
#include "text/NarrowText.h"

#include <QStringDecoder>

#include <QTest>

namespace {

class LineRecorder final : public LineSink {
public:
    void restart() override { lines.clear(); }
    void line(QStringView text) override { lines << text.toString(); }
    QStringList lines;
};

QStringList readLines(const QByteArray& bytes,
                      const QList<QByteArray>& codecs = narrowCodecsFor("UTF-8")) {
    BytesSource source(bytes);
    LineRecorder recorder;
    if (!decodeNarrowLines(source, recorder, codecs))
        return {QStringLiteral("<no converter>")};
    return recorder.lines;
}

class PieceCollector final : public BytePieceSink {
public:
    void piece(QByteArrayView lines, qint64) override { bytes += lines; }
    QByteArray bytes;
};

} // namespace

class TestNarrowText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A buffer keeps what it holds when it grows (a file that grows while it
    // is read) and when the room past its contents is handed back.
    void largeBufferKeepsContents_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("grown");
        QTest::addRow("small to small") << 100 << 5000;
        QTest::addRow("small to huge pages") << 5000 << (3 << 20);
        QTest::addRow("huge pages to more") << (3 << 20) << (9 << 20);
    }
    void largeBufferKeepsContents() {
        QFETCH(int, first);
        QFETCH(int, grown);
        LargeBuffer buffer;
        buffer.reserve(size_t(first));
        for (int i = 0; i < first; ++i)
            buffer.data()[i] = char(i % 251);
        buffer.reserve(size_t(grown));
        QVERIFY(buffer.capacity() >= size_t(grown));
        buffer.releaseBeyond(size_t(first));
        for (int i = 0; i < first; ++i)
            QCOMPARE(buffer.data()[i], char(i % 251));
        LargeBuffer moved(std::move(buffer));
        QCOMPARE(moved.data()[first - 1], char((first - 1) % 251));
    }

    void lineEnds_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("one line end only") << QByteArray("\r\n") << QStringList{""};
        QTest::newRow("no final line end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("final CR LF adds no line")
            << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("LF only") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("CR only") << QByteArray("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("mixed ends")
            << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
        QTest::newRow("CR then CR LF") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
        QTest::newRow("LF then CR") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("empty lines kept")
            << QByteArray("\r\n\r\nx\r\n\r\n") << QStringList{"", "", "x", ""};
    }
    void lineEnds() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(readLines(bytes), lines);
    }

    // Lines and CR LF pairs that straddle the reader's blocks, which end every
    // NarrowTextBlock bytes.
    void blockBoundaries_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const qsizetype first = NarrowTextBlock;
        const qsizetype second = first + NarrowTextBlock;
        const QByteArray fill(first - 1, 'x');
        QTest::newRow("CR LF split") << fill + "\r\ny" << QStringList{QString(fill), "y"};
        QTest::newRow("lone CR at block end") << fill + "\ry" << QStringList{QString(fill), "y"};
        const QByteArray fill2(second - 1, 'x');
        QTest::newRow("CR LF split at second block")
            << fill2 + "\r\ny" << QStringList{QString(fill2), "y"};
        QTest::newRow("CR then CR LF at second block")
            << fill2.chopped(1) + "\r\r\ny" << QStringList{QString(fill2.chopped(1)), "", "y"};
        const QByteArray longLine(3 * NarrowTextBlock + 17, 'z');
        QTest::newRow("line longer than a block")
            << "a\r\n" + longLine + "\r\nb" << QStringList{"a", QString(longLine), "b"};
        const QByteArray han = QByteArray("\xE8\xA8\xB1").repeated(second / 3 + 5);
        QTest::newRow("Big5 after a valid UTF-8 block")
            << QByteArray(second + 10, 'a') + "\n\xA4\xA4"
            << QStringList{QString(QByteArray(second + 10, 'a')), QStringLiteral("中")};
        QTest::newRow("UTF-8 across blocks") << han + "\n" << QStringList{QString::fromUtf8(han)};
    }
    void blockBoundaries() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        const QStringList got = readLines(bytes);
        QCOMPARE(got.size(), lines.size());
        QVERIFY(got == lines);
    }

    void encodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << QByteArray("\xE8\xA8\xB1\xE5\xA4\x9A") << QStringLiteral("許多");
        QTest::newRow("UTF-8 byte-order mark dropped")
            << QByteArray("\xEF\xBB\xBF\xE6\x9B\xB8") << QStringLiteral("書");
        QTest::newRow("Big5 euro A3E1") << QByteArray("\xA3\xE1") << QStringLiteral("€");
        QTest::newRow("Big5 F9F9") << QByteArray("\xF9\xF9") << QStringLiteral("═");
        QTest::newRow("Big5 second byte 5C")
            << QByteArray("\xB3\x5C\xA6\x68") << QStringLiteral("許多");
        QTest::newRow("Big5 A1 7F unmapped")
            << QByteArray("\xA4\xA4\xA1\x7F") << QStringLiteral("中\uFFFD\x7F");
        QTest::newRow("Big5 byte 80") << QByteArray("\xA4\xA4\x80") << QStringLiteral("中\u0080");
        QTest::newRow("Big5 lone lead byte at end")
            << QByteArray("\xA4\xA4\xA4") << QStringLiteral("中\uFFFD");
        QTest::newRow("valid UTF-8 start, Big5 later")
            << QByteArray("ok \xA4\xA4") << QStringLiteral("ok 中");
        // A file that ends inside a character is being written: it stays
        // UTF-8, the cut character shown as U+FFFD, unless its bytes so far
        // are wrong already or the cut is not at the very end.
        const auto big5 = [](const QByteArray& bytes) {
            return QString(QStringDecoder(Big5CodecName).decode(bytes));
        };
        QTest::newRow("UTF-8 cut after 1 of 3 bytes")
            << QByteArray("\xE8\xA8\xB1\xE5") << QStringLiteral("許\uFFFD");
        QTest::newRow("UTF-8 cut after 2 of 3 bytes")
            << QByteArray("\xE8\xA8\xB1\xE5\xA4") << QStringLiteral("許\uFFFD");
        QTest::newRow("UTF-8 cut after 3 of 4 bytes")
            << QByteArray("\xE8\xA8\xB1\xF0\x9F\x98") << QStringLiteral("許\uFFFD");
        QTest::newRow("UTF-8 lead byte alone") << QByteArray("\xE5") << QStringLiteral("\uFFFD");
        QTest::newRow("UTF-8 cut after a line end")
            << QByteArray("\xE8\xA8\xB1\r\n\xE5\xA4") << QStringLiteral("許\r\n\uFFFD");
        QTest::newRow("UTF-8 cut, already invalid")
            << QByteArray("\xE8\xA8\xB1\xE4\x41") << big5("\xE8\xA8\xB1\xE4\x41");
        QTest::newRow("UTF-8 cut, overlong so far")
            << QByteArray("\xE8\xA8\xB1\xE0\x80") << big5("\xE8\xA8\xB1\xE0\x80");
        QTest::newRow("UTF-8 cut before a line end")
            << QByteArray("\xE8\xA8\xB1\xE5\r\nok") << big5("\xE8\xA8\xB1\xE5\r\nok");
        QTest::newRow("UTF-8 cut at the end, invalid before")
            << QByteArray("\xFF\xE8\xA8\xB1\xE5") << big5("\xFF\xE8\xA8\xB1\xE5");
        const QByteArray longText = QByteArray("\xE8\xA8\xB1").repeated(NarrowTextBlock);
        QTest::newRow("UTF-8 cut after several blocks")
            << longText + "\xF0\x9F\x98" << QString::fromUtf8(longText) + QChar(0xFFFD);
    }
    // Read line by line, read whole, and scanned then read a slot at a time
    // as the index does: every way gives the same text.
    void encodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QList<QByteArray> codecs = narrowCodecsFor("UTF-8");
        QStringList lines;
        for (qsizetype pos = 0; pos < text.size(); pos = lineAt(text, pos).next)
            lines << text.sliced(pos, lineAt(text, pos).end - pos);
        QCOMPARE(readLines(bytes), lines);
        BytesSource source(bytes);
        const std::optional<WholeNarrowText> whole = decodeWholeNarrowText(source, codecs);
        QVERIFY(whole);
        const QString wholeText = whole->text(0, whole->size());
        QCOMPARE(wholeText, text + u'\n');
        source.rewind();
        PieceCollector pieces;
        const std::optional<NarrowTextScan> scan = scanNarrowText(source, codecs, pieces);
        QVERIFY(scan);
        QVERIFY(scan->linesAlone);
        QCOMPARE(decodeLinesAlone(scan->codec, pieces.bytes.sliced(scan->textStart)), wholeText);
    }

    // An unmappable byte must never swallow the line end after it.
    void badBytesKeepLineEnds_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Big5 lead byte before CR LF") << QByteArray("\xA4\xA4\xA4\r\nnext");
        QTest::newRow("Big5 lead byte before LF") << QByteArray("\xA4\xA4\xA4\nnext");
        QTest::newRow("Big5 lead byte before CR") << QByteArray("\xA4\xA4\xA4\rnext");
    }
    void badBytesKeepLineEnds() {
        QFETCH(QByteArray, bytes);
        QCOMPARE(readLines(bytes), (QStringList{QStringLiteral("中\uFFFD"), "next"}));
    }

    void latin1LocaleDecodesWithIt() {
        QCOMPARE(readLines("caf\xE9", narrowCodecsFor("ISO-8859-1")),
                 QStringList{QStringLiteral("café")});
    }

    void noConverterIsNoText() {
        QCOMPARE(readLines("a", {QByteArray("NO-SUCH-SET")}),
                 QStringList{QStringLiteral("<no converter>")});
    }
};

QTEST_GUILESS_MAIN(TestNarrowText)
#include "tst_narrowtext.moc"
