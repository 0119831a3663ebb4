#include "TestFiles.h"
#include "core/EncodedSearch.h"
#include "core/TextSearch.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <QRandomGenerator>
#include <QTest>

using Order = std::vector<int>;
using Match = std::optional<TextMatch>;
using Path = EncodedSearch::Path;

namespace {

// Whether every path through the bytes finds a match exactly where searching
// the decoded lines does.
void expectPathsAgree(const QString& typed, const QByteArray& codecName, const QByteArray& lines) {
    const SearchPattern pattern(typed);
    const TextCodec codec = textCodec(codecName);
    const bool inText = pattern.nextIn(storedLines(decodeLinesAlone(codec, lines))).has_value();
    for (const Path path : {Path::Scalar, Path::Sse2, Path::Avx2}) {
        const std::optional<EncodedSearch> search = EncodedSearch::make(pattern, codec, path);
        QVERIFY(search);
        QVERIFY2(search->matchesIn(lines) == inText,
                 qPrintable(QStringLiteral("path %1: %2 in %3 %4")
                                .arg(int(path))
                                .arg(typed, codecName, lines.toHex(' '))));
    }
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matching_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("from");
        QTest::addColumn<Match>("next");
        QTest::addColumn<Match>("previous");
        const auto at = [](qsizetype start, qsizetype end) { return Match(TextMatch{start, end}); };
        QTest::newRow("plain") << "明月"
                               << "\r\n床前明月光" << qsizetype(0) << at(4, 6) << at(4, 6);
        QTest::newRow("line end inside the match")
            << "明月"
            << "\r\n床前明\r\n月光" << qsizetype(0) << at(4, 8) << at(4, 8);
        QTest::newRow("lone LF and CR") << "ab"
                                        << "a\nb a\rb" << qsizetype(1) << at(4, 7) << at(4, 7);
        QTest::newRow("never starting on a line end")
            << "\n月"
            << "\r\n月" << qsizetype(0) << at(2, 3) << at(2, 3);
        QTest::newRow("Latin letters ignore case")
            << "Moon"
            << "a MOON, a moon" << qsizetype(3) << at(10, 14) << at(10, 14);
        QTest::newRow("full width matches half width")
            << "ＡＢＣ１２３"
            << "x abc123" << qsizetype(0) << at(2, 8) << at(2, 8);
        QTest::newRow("half width matches full width")
            << "abc 123"
            << "ＡＢＣ　１２３" << qsizetype(0) << at(0, 7) << at(0, 7);
        QTest::newRow("from past the only match") << "月"
                                                  << "月光" << qsizetype(1) << Match() << at(0, 1);
        QTest::newRow("no match") << "秋"
                                  << "春夏\r\n冬" << qsizetype(0) << Match() << Match();
        QTest::newRow("nothing typed") << "\r\n"
                                       << "a" << qsizetype(0) << Match() << Match();
    }
    // Forward from `from`; backward from the end of the text, except where
    // the forward search has gone past the only match.
    void matching() {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(qsizetype, from);
        QFETCH(Match, next);
        QFETCH(Match, previous);
        const SearchPattern pattern(typed);
        QCOMPARE(pattern.nextIn(text, from), next);
        QCOMPARE(pattern.previousIn(text, next ? text.size() : from + 1), previous);
    }

    void order_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("count");
        QTest::addColumn<Order>("forward");
        QTest::addColumn<Order>("backward");
        QTest::newRow("middle") << 3 << 5 << Order{4, 5, 1, 2} << Order{2, 1, 5, 4};
        QTest::newRow("last") << 5 << 5 << Order{1, 2, 3, 4} << Order{4, 3, 2, 1};
        QTest::newRow("one article") << 1 << 1 << Order{} << Order{};
        QTest::newRow("before the first") << 0 << 3 << Order{1, 2, 3} << Order{3, 2, 1};
        QTest::newRow("past the count") << 9 << 3 << Order{1, 2, 3} << Order{3, 2, 1};
        QTest::newRow("no articles") << 1 << -1 << Order{} << Order{};
    }
    void order() {
        QFETCH(int, current);
        QFETCH(int, count);
        QFETCH(Order, forward);
        QFETCH(Order, backward);
        QCOMPARE(searchOrder(current, count, SearchDirection::Forward), forward);
        QCOMPARE(searchOrder(current, count, SearchDirection::Backward), backward);
    }

    // Big5 trail bytes 0x40-0x7E are ASCII: the bytes of 乙 (A4 41) stand
    // inside 中A (A4 A4 41), and those of A inside 你 (A7 41). Neither is a
    // match.
    void big5Boundaries_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<std::optional<int>>("article");
        QTest::newRow("乙 across 中A") << "乙" << std::optional<int>(3);
        QTest::newRow("A inside 你") << "A" << std::optional<int>(1);
        QTest::newRow("中a, case and width") << "中ａ" << std::optional<int>(1);
        QTest::newRow("你 then 乙") << "你乙" << std::optional<int>();
    }
    void big5Boundaries() {
        QFETCH(QString, typed);
        QFETCH(std::optional<int>, article);
        ProgramDirFixture dir;
        dir.write(QStringLiteral("data.txt"),
                  "***\r\n\xA4\xA4\x41\r\n***\r\n\xA7\x41\r\n***\r\n\xA4\x41\r\n***\r\n");
        const DataFileIndex index =
            indexDataFile(dir.filePath(QStringLiteral("data.txt")), narrowCodecsFor("UTF-8"));
        std::atomic<bool> stop = false;
        QCOMPARE(findArticle(SearchPattern(typed), index, {1, 2, 3}, stop), article);
        QCOMPARE(findArticle(SearchPattern(typed), index, {3, 2, 1}, stop), article);
        // A search asked to stop (Esc, or a new version of the file) ends
        // without an answer.
        stop = true;
        QCOMPARE(findArticle(SearchPattern(u"中"), index, {1, 2, 3}, stop), std::optional<int>());
    }

    // The file changing under a search, before the reload: the index searches
    // the version it indexed, or, written over in place, finds nothing rather
    // than a match in text it never indexed.
    void changedWhileSearched_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<std::optional<int>>("article");
        QTest::newRow("replaced by a new file") << false << std::optional<int>(2);
        QTest::newRow("written over in place") << true << std::optional<int>();
    }
    void changedWhileSearched() {
        QFETCH(bool, inPlace);
        QFETCH(std::optional<int>, article);
        ProgramDirFixture dir;
        const QString path = dir.filePath(QStringLiteral("data.txt"));
        dir.write(QStringLiteral("data.txt"), "***\r\nold\r\n***\r\nmoon\r\n***\r\n");
        const DataFileIndex index = indexDataFile(path, narrowCodecsFor("UTF-8"));
        const QByteArray newer = "***\r\nmoon\r\n***\r\nnewer\r\n***\r\n";
        dir.write(inPlace ? QStringLiteral("data.txt") : QStringLiteral("new.txt"), newer);
        if (!inPlace) {
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::rename(dir.filePath(QStringLiteral("new.txt")), path));
        }
        const std::atomic<bool> stop = false;
        QCOMPARE(findArticle(SearchPattern(u"moon"), index, {1, 2}, stop), article);
    }

    // Places where reading bytes could go wrong: inside a Big5 pair, across
    // line ends and lead bytes, at the end of a block of bytes compared at
    // once, and the other forms of a character.
    void bytesAgreeWithText_data() {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("lines");
        const QByteArray big5(Big5CodecName);
        const QByteArray utf8("UTF-8");
        const QByteArray filler(70, 'x');
        QTest::newRow("big5 A inside 你, then alone")
            << big5 << "A" << QByteArray("\xA7\x41\x41\n");
        QTest::newRow("big5 after a run of lead bytes")
            << big5 << "乙" << QByteArray("\xA4\xA4\xA4\xA4\xA4\x41\n");
        QTest::newRow("big5 run of lead bytes, even")
            << big5 << "乙" << QByteArray("x\xA4\xA4\xA4\x41\n");
        QTest::newRow("big5 across CR LF") << big5 << "中a" << QByteArray("\xA4\xA4\r\n\r\nA\n");
        QTest::newRow("big5 full width") << big5 << "ab" << QByteArray("\xA2\xCF\xA2\xD0\n");
        QTest::newRow("big5 ideographic space") << big5 << "a b" << QByteArray("a\xA1\x40\x62\n");
        QTest::newRow("big5 lone lead byte") << big5 << "\uFFFDa" << QByteArray("\xA4\x61\n");
        QTest::newRow("big5 at the very end") << big5 << "中文" << filler + "\xA4\xA4\xA4\xE5\n";
        QTest::newRow("utf8 across line ends") << utf8 << "明月" << QByteArray("明\r\n\r月\n");
        QTest::newRow("utf8 paragraph separator") << utf8 << "明月" << QByteArray("明\u2029月\n");
        QTest::newRow("utf8 outside the BMP") << utf8 << "𠀀a" << QByteArray("x𠀀\nA\n");
        QTest::newRow("utf8 byte order mark")
            << utf8 << "\uFEFFa" << QByteArray("\xEF\xBB\xBF\x61\n");
        QTest::newRow("utf8 full width, at the end") << utf8 << "Ab1" << filler + "ａＢ１\n";
        QTest::newRow("utf8 the end of another character")
            << utf8 << "\uFFFD" << QByteArray("\xF0\x9F\xBF\xBD\n");
        QTest::newRow("big5 lead byte before a line end")
            << big5 << "\uFFFDA" << QByteArray("\xA4\r\nA\n");
    }
    void bytesAgreeWithText() {
        QFETCH(QByteArray, codec);
        QFETCH(QString, typed);
        QFETCH(QByteArray, lines);
        expectPathsAgree(typed, codec, lines);
    }

    // Lines made of the pieces above at random, searched for a piece of
    // their own text or for pieces at random.
    void randomBytesAgreeWithText() {
        const QList<QByteArray> big5Pieces{"\xA4\xA4", "\xA4\x41", "\xA7\x41", "A",        "a",
                                           "\r\n",     "\n",       "\r",       "\xA2\xCF", " ",
                                           "\xA1\x40", "\xA4",     "\x80",     "\xFF"};
        const QList<QByteArray> utf8Pieces{"中", "a", "A",  "ａ", "\r\n",   "\n",
                                           "\r", " ", "　", "𠀀", "\u2029", "中a"};
        QRandomGenerator random(26);
        for (int round = 0; round < 3000; ++round) {
            const bool isBig5 = round % 2 == 0;
            const QList<QByteArray>& pieces = isBig5 ? big5Pieces : utf8Pieces;
            const QByteArray codec = isBig5 ? QByteArray(Big5CodecName) : QByteArray("UTF-8");
            QByteArray lines;
            for (int i = random.bounded(1, 60); i > 0; --i)
                lines += pieces[random.bounded(pieces.size())];
            lines += '\n';
            QString typed = decodeLinesAlone(textCodec(codec), lines);
            const qsizetype start = random.bounded(typed.size());
            typed = typed.mid(start, random.bounded(1, 5));
            if (round % 3 == 0)
                typed =
                    decodeLinesAlone(textCodec(codec), pieces[random.bounded(pieces.size())] +
                                                           pieces[random.bounded(pieces.size())]);
            if (typed.isEmpty() || QChar(typed.front()).isLowSurrogate() ||
                QChar(typed.back()).isHighSurrogate())
                continue;
            expectPathsAgree(typed, codec, lines);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
