#include "text/Big5Decoder.h"
#include "text/ByteCharacters.h"
#include "text/NarrowText.h"
#include "text/SimdPath.h"
#include "text/TextCodecs.h"

#include <QFile>
#include <QTest>

#include <algorithm>

namespace {

using Codecs = QList<QByteArray>;

const Codecs utf8ThenBig5{"UTF-8", Big5CodecName};

// The CPU flags the kernel reports, or none where it reports none.
QByteArrayList cpuFlags() {
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : info.readAll().split('\n')) {
        if (line.startsWith("flags"))
            return line.mid(line.indexOf(':') + 1).simplified().split(' ');
    }
    return {};
}

class PieceCollector final : public BytePieceSink {
public:
    void piece(QByteArrayView lines, qint64) override { bytes += lines; }
    QByteArray bytes;
};

} // namespace

class TestCodecs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A path is used exactly when the CPU has what it needs, as the kernel
    // tells it.
    void fastestPathFitsTheCpu_data() {
        QTest::addColumn<SimdPath>("path");
        QTest::addColumn<QByteArrayList>("needs");
        QTest::newRow("SSE2") << SimdPath::Sse2 << QByteArrayList{"sse2"};
        QTest::newRow("AVX2") << SimdPath::Avx2 << QByteArrayList{"avx2", "popcnt"};
    }
    void fastestPathFitsTheCpu() {
        QFETCH(SimdPath, path);
        QFETCH(QByteArrayList, needs);
#ifndef __x86_64__
        QSKIP("the paths past plain C++ are x86-64 only");
#endif
        const QByteArrayList flags = cpuFlags();
        if (flags.isEmpty())
            QSKIP("the kernel reports no CPU flags");
        const bool hasAll = std::all_of(needs.begin(), needs.end(), [&](const QByteArray& flag) {
            return flags.contains(flag);
        });
        QCOMPARE(path <= fastestSimdPath(), hasAll);
    }

    // Unknown code sets fall back to UTF-8 then Big5 rather than giving no
    // converter at all.
    void codecsForCodeset_data() {
        QTest::addColumn<QByteArray>("codeset");
        QTest::addColumn<Codecs>("codecs");
        QTest::newRow("UTF-8") << QByteArray("UTF-8") << utf8ThenBig5;
        QTest::newRow("utf8 in lower case") << QByteArray("utf8") << utf8ThenBig5;
        QTest::newRow("C locale") << QByteArray("ANSI_X3.4-1968") << utf8ThenBig5;
        QTest::newRow("none reported") << QByteArray() << utf8ThenBig5;
        QTest::newRow("BIG5") << QByteArray("BIG5") << Codecs{Big5CodecName};
        QTest::newRow("CP950") << QByteArray("cp950") << Codecs{Big5CodecName};
        QTest::newRow("Latin-1") << QByteArray("ISO-8859-1") << Codecs{"ISO-8859-1"};
        QTest::newRow("unknown") << QByteArray("NO-SUCH-SET") << utf8ThenBig5;
    }
    void codecsForCodeset() {
        QFETCH(QByteArray, codeset);
        QFETCH(Codecs, codecs);
        QCOMPARE(narrowCodecsFor(codeset), codecs);
    }

    // Which converter a text is read with, and whether it stays bytes: a
    // Big5 collection must, so that memory does not grow with its text, and
    // its lines then decode alone, as do lines of valid UTF-8.
    void howTextIsHeld_data() {
        QTest::addColumn<Codecs>("codecs");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<bool>("keptAsBytes");
        QTest::addColumn<bool>("linesAlone");
        const QByteArray big5("***\r\n\xA4\xA4\xA4\xE5\r\n***\r\n");
        const QByteArray utf8("***\r\n\xE4\xB8\xAD\xE6\x96\x87\r\n***\r\n");
        QTest::newRow("Big5 after UTF-8")
            << utf8ThenBig5 << big5 << QByteArray(Big5CodecName) << true << true;
        QTest::newRow("Big5 alone")
            << Codecs{Big5CodecName} << big5 << QByteArray(Big5CodecName) << true << true;
        QTest::newRow("UTF-8 before Big5")
            << utf8ThenBig5 << utf8 << QByteArray("UTF-8") << false << true;
        QTest::newRow("UTF-8 alone, lenient")
            << Codecs{"UTF-8"} << utf8 << QByteArray("UTF-8") << false << false;
        QTest::newRow("Latin-1") << Codecs{"ISO-8859-1"} << big5 << QByteArray("ISO-8859-1")
                                 << false << false;
        QTest::newRow("unknown before Big5") << Codecs{"NO-SUCH-SET", Big5CodecName} << utf8
                                             << QByteArray(Big5CodecName) << true << true;
    }
    void howTextIsHeld() {
        QFETCH(Codecs, codecs);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, codec);
        QFETCH(bool, keptAsBytes);
        QFETCH(bool, linesAlone);
        BytesSource source(bytes);
        const std::optional<WholeNarrowText> whole = decodeWholeNarrowText(source, codecs);
        QVERIFY(whole);
        QCOMPARE(whole->keptAsBytes(), keptAsBytes);
        source.rewind();
        PieceCollector pieces;
        const std::optional<NarrowTextScan> scan = scanNarrowText(source, codecs, pieces);
        QVERIFY(scan);
        QCOMPARE(scan->codec.name, codec);
        QCOMPARE(scan->linesAlone, linesAlone);
        QCOMPARE(pieces.bytes, bytes);
        if (linesAlone)
            QCOMPARE(decodeLinesAlone(scan->codec, bytes), whole->text(0, whole->size()));
    }

    // Where characters start, asked place after place with one known start
    // as a search asks: `starts` has y or n for each place in `places`.
    void characterStarts_data() {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QList<int>>("places");
        QTest::addColumn<QString>("starts");
        const QByteArray big5(Big5CodecName);
        const QByteArray utf8("UTF-8");
        // 中 A4 A4, 乙 A4 41: a trail byte may be a lead byte, or ASCII.
        QTest::newRow("big5 every place") << big5 << QByteArray("\xA4\xA4\xA4\x41\x41\n")
                                          << QList<int>{0, 1, 2, 3, 4, 5} << "ynynyy";
        QTest::newRow("big5 places skipped")
            << big5 << QByteArray("\xA4\xA4\xA4\x41\x41\n") << QList<int>{1, 3, 4} << "nny";
        QTest::newRow("big5 a lone lead byte before ASCII")
            << big5 << QByteArray("a\xA4\xA4\xFF\x30\n") << QList<int>{2, 3, 4, 5} << "nyyy";
        QTest::newRow("big5 a long run of lead bytes, odd places")
            << big5 << QByteArray("\xAA\xBA").repeated(1000) + "\n"
            << QList<int>{1, 3, 1001, 1999} << "nnnn";
        QTest::newRow("big5 a long run of lead bytes, even places")
            << big5 << QByteArray("\xAA\xBA").repeated(1000) + "\n"
            << QList<int>{0, 2, 1000, 1998, 2000} << "yyyyy";
        QTest::newRow("utf8 continuation bytes") << utf8 << QByteArray("a中\xF0\xA0\x80\x80\n")
                                                 << QList<int>{0, 1, 2, 4, 5, 8} << "yynyny";
    }
    void characterStarts() {
        QFETCH(QByteArray, codec);
        QFETCH(QByteArray, lines);
        QFETCH(QList<int>, places);
        QFETCH(QString, starts);
        const std::unique_ptr<ByteCharacters> characters = textCodec(codec).byteCharacters();
        QVERIFY(characters);
        const auto* bytes = reinterpret_cast<const uchar*>(lines.constData());
        qsizetype known = 0;
        QString found;
        for (const int at : places) {
            found += characters->startsCharacter(bytes, at, known) ? u'y' : u'n';
            QVERIFY(known <= at + 2);
        }
        QCOMPARE(found, starts);
    }
};

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
