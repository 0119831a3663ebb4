#include "TestFiles.h"
#include "core/EncodedSearch.h"
#include "core/TextSearch.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"
#include "text/Big5Decoder.h"
#include "text/CharacterVariants.h"
#include "text/NarrowText.h"

#include <QTest>

using Order = std::vector<int>;
using Match = std::optional<TextMatch>;
using Path = EncodedSearch::Path;

Q_DECLARE_METATYPE(SearchDirection)

namespace {

// Whether every path through the bytes finds a match exactly where searching
// the decoded lines does.
void expectPathsAgree(const QString& typed, const QByteArray& codecName, const QByteArray& lines) {
    const SearchPattern pattern(typed);
    const TextCodec codec = textCodec(codecName);
    const QString text = storedLines(decodeLinesAlone(codec, lines));
    const bool inText = pattern.nextIn(text).has_value();
    int count = 0;
    for (auto match = pattern.nextIn(text); match; match = pattern.nextIn(text, match->end))
        ++count;
    for (const Path path : {Path::Scalar, Path::Sse2, Path::Avx2}) {
        const std::optional<EncodedSearch> search = EncodedSearch::make(pattern, codec, path);
        QVERIFY(search);
        QVERIFY2(search->matchesIn(lines) == inText,
                 qPrintable(QStringLiteral("path %1: %2 in %3 %4")
                                .arg(int(path))
                                .arg(typed, codecName, lines.toHex(' '))));
        // As many matches, the first where the text's first is.
        const EncodedSearch::Matches matches = search->matchesOf(lines);
        QCOMPARE(matches.count, count);
        const Match first = pattern.nextIn(decodeLinesAlone(codec, lines));
        if (count > 0) {
            QCOMPARE(first->end, decodeLinesAlone(codec, lines.first(matches.firstEnd)).size());
            if (matches.firstStart >= 0)
                QCOMPARE(first->start,
                         decodeLinesAlone(codec, lines.first(matches.firstStart)).size());
        }
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
        QTest::newRow("the last capital") << "zZ"
                                          << "x Zz" << qsizetype(0) << at(2, 4) << at(2, 4);
        QTest::newRow("the first and last full-width signs")
            << "!~"
            << "x ！～" << qsizetype(0) << at(2, 4) << at(2, 4);
        QTest::newRow("paragraph separator is a line end")
            << "明月"
            << "明\u2029月" << qsizetype(0) << at(0, 3) << at(0, 3);
        QTest::newRow("Simplified finds Traditional")
            << "书"
            << "讀書" << qsizetype(0) << at(1, 2) << at(1, 2);
        QTest::newRow("Traditional finds Simplified")
            << "後來"
            << "然后来了" << qsizetype(0) << at(1, 3) << at(1, 3);
        QTest::newRow("后 finds 后 as well as 後")
            << "王后"
            << "王後 王后" << qsizetype(1) << at(3, 5) << at(3, 5);
        QTest::newRow("系 finds 繫 and 係") << "系"
                                            << "繫 係" << qsizetype(1) << at(2, 3) << at(2, 3);
        QTest::newRow("Taiwan and Hong Kong variants")
            << "裡峯着"
            << "裏峰著" << qsizetype(0) << at(0, 3) << at(0, 3);
        QTest::newRow("里 among its forms") << "這里"
                                            << "這裡 這裏" << qsizetype(1) << at(3, 5) << at(3, 5);
        QTest::newRow("an unrelated character stays apart")
            << "書"
            << "畫" << qsizetype(0) << Match() << Match();
        QTest::newRow("a match after a long partial one")
            << "甲甲甲乙"
            << "甲甲甲甲甲乙甲" << qsizetype(0) << at(2, 6) << at(2, 6);
        QTest::newRow("overlapping matches, the last backward")
            << "甲乙甲"
            << "甲乙甲乙甲" << qsizetype(0) << at(0, 3) << at(2, 5);
        QTest::newRow("a partial match across line ends")
            << "aab"
            << "a\na\nab" << qsizetype(0) << at(2, 6) << at(2, 6);
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

    // Where the search of the collection finds a match: the article and the
    // match in its slot text, read from the file's bytes (Big5, UTF-8) or from
    // the text held whole (another encoding). Big5 trail bytes 0x40-0x7E are
    // ASCII: the bytes of 乙 (A4 41) stand inside 中A (A4 A4 41), and those of
    // A inside 你 (A7 41); neither is a match.
    void found_data() {
        QTest::addColumn<QByteArray>("codeset");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<SearchDirection>("direction");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<int>("article");
        QTest::addColumn<Match>("match");
        const auto at = [](qsizetype start, qsizetype end) { return Match(TextMatch{start, end}); };
        const QByteArray big5 =
            "***\r\n\xA4\xA4\x41\r\n***\r\n\xA7\x41\r\n***\r\n\xA4\x41\r\n***\r\n";
        const QByteArray utf8 = "***\r\nab\r\n***\r\nmoon, a\r\nMOON\r\n***\r\n明\r\n月\r\n***\r\n";
        const auto forward = SearchDirection::Forward;
        const auto backward = SearchDirection::Backward;
        QTest::newRow("big5 乙 across 中A")
            << QByteArray("UTF-8") << big5 << "乙" << forward << false << 3 << at(2, 3);
        QTest::newRow("big5 A inside 你")
            << QByteArray("UTF-8") << big5 << "A" << backward << false << 1 << at(3, 4);
        QTest::newRow("big5 中a, case and width")
            << QByteArray("UTF-8") << big5 << "中ａ" << forward << false << 1 << at(2, 4);
        QTest::newRow("big5 你 then 乙")
            << QByteArray("UTF-8") << big5 << "你乙" << forward << false << 0 << Match();
        QTest::newRow("utf8 first match forward")
            << QByteArray("UTF-8") << utf8 << "moon" << forward << false << 2 << at(2, 6);
        QTest::newRow("utf8 last match backward")
            << QByteArray("UTF-8") << utf8 << "moon" << backward << false << 2 << at(11, 15);
        QTest::newRow("utf8 across a line end")
            << QByteArray("UTF-8") << utf8 << "明月" << forward << false << 3 << at(2, 6);
        QTest::newRow("held whole, last match backward")
            << QByteArray("ISO-8859-1") << utf8 << "moon" << backward << false << 2 << at(11, 15);
        const QByteArray variants = "***\r\n\xC3\xB4\r\n***\r\n\xAE\xD1\r\n***\r\n"
                                    "\xAB\xE1\xA8\xD3\r\n***\r\n";
        QTest::newRow("big5 书 finds 書, which Big5 holds")
            << QByteArray("UTF-8") << variants << "书" << forward << false << 2 << at(2, 3);
        QTest::newRow("big5 后来 finds 後來")
            << QByteArray("UTF-8") << variants << "后来" << forward << false << 3 << at(2, 4);
        QTest::newRow("big5 系 finds 繫")
            << QByteArray("UTF-8") << variants << "系" << backward << false << 1 << at(2, 3);
        QTest::newRow("utf8 书 finds 書")
            << QByteArray("UTF-8") << QByteArray("***\r\n月\r\n***\r\n讀書\r\n***\r\n") << "书"
            << forward << false << 2 << at(3, 4);
        // The rarest character everywhere: the next one, or the whole article.
        QTest::newRow("utf8 甲乙乙 past a text of 甲")
            << QByteArray("UTF-8")
            << "***\r\n" + QString(600, u'甲').toUtf8() + "\r\n***\r\n甲乙\r\n乙\r\n***\r\n"
            << "甲乙乙" << forward << false << 2 << at(2, 7);
        QTest::newRow("big5 the end of a long line of 的 and 月")
            << QByteArray("UTF-8")
            << "***\r\n" + QByteArray("\xAA\xBA\xA4\xEB\xAA\xBA").repeated(2000) +
                   "\xA4\xEB\r\n***\r\n"
            << "的月的月" << backward << false << 1 << at(2 + 3 * 1999, 2 + 3 * 2000 + 1);
        QTest::newRow("bytes, asked to stop")
            << QByteArray("UTF-8") << utf8 << "moon" << forward << true << 0 << Match();
        QTest::newRow("held whole, asked to stop")
            << QByteArray("ISO-8859-1") << utf8 << "moon" << forward << true << 0 << Match();
    }
    // Each row searches articles 1 to 3 in the order of its direction; the
    // text found is the slot text that the window would show.
    void found() {
        QFETCH(QByteArray, codeset);
        QFETCH(QByteArray, data);
        QFETCH(QString, typed);
        QFETCH(SearchDirection, direction);
        QFETCH(bool, stop);
        QFETCH(int, article);
        QFETCH(Match, match);
        ProgramDirFixture dir;
        dir.write(QStringLiteral("data.txt"), data);
        const DataFileIndex index =
            indexDataFile(dir.filePath(QStringLiteral("data.txt")), narrowCodecsFor(codeset));
        QCOMPARE(index.bytesCodec() != nullptr, codeset == "UTF-8");
        const std::atomic<bool> stopped = stop;
        const Order order = direction == SearchDirection::Forward ? Order{1, 2, 3} : Order{3, 2, 1};
        const std::optional<FoundArticle> found =
            findArticle(SearchPattern(typed), index, order, direction, stopped);
        QCOMPARE(found ? found->article : 0, article);
        if (found) {
            QCOMPARE(found->match, *match);
            QCOMPARE(std::optional<QString>(found->text), index.slotText(article));
        }
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
        const std::optional<FoundArticle> found =
            findArticle(SearchPattern(u"moon"), index, {1, 2}, SearchDirection::Forward, stop);
        QCOMPARE(found ? std::optional<int>(found->article) : std::nullopt, article);
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
        QTest::newRow("utf8 outside the BMP, another low half")
            << utf8 << "a𠀀" << QByteArray("a𠀁\n");
        QTest::newRow("utf8 byte order mark")
            << utf8 << "\uFEFFa" << QByteArray("\xEF\xBB\xBF\x61\n");
        QTest::newRow("utf8 full width, at the end") << utf8 << "Ab1" << filler + "ａＢ１\n";
        QTest::newRow("utf8 the end of another character")
            << utf8 << "\uFFFD" << QByteArray("\xF0\x9F\xBF\xBD\n");
        QTest::newRow("big5 lead byte before a line end")
            << big5 << "\uFFFDA" << QByteArray("\xA4\r\nA\n");
        QTest::newRow("big5 书 has no code, 書 has") << big5 << "书" << QByteArray("x\xAE\xD1\n");
        QTest::newRow("big5 着 has no code, nor in a pair") << big5 << "着a"
                                                            << QByteArray("\xB5\xDB"
                                                                          "b\xB5\xDB\x41\n");
        QTest::newRow("big5 the anchor last, the start inside a pair")
            << big5 << "乙丙" << QByteArray("\xA4\xA4\x41\xA4\xFE\n");
        QTest::newRow("utf8 the anchor last, a match")
            << utf8 << "甲甲甲丙" << QByteArray("甲甲甲甲\r\n丙\n");
        QTest::newRow("utf8 the anchor last, no match")
            << utf8 << "甲甲丙" << QByteArray("乙甲丙甲甲\n");
        QTest::newRow("utf8 dense candidates, no match")
            << utf8 << QString(20, u'甲') + QString(20, u'乙')
            << QString(200, u'甲').toUtf8() + "\n";
        QTest::newRow("utf8 dense candidates, a match at the end")
            << utf8 << QString(20, u'甲') + QString(20, u'乙')
            << QString(200, u'甲').toUtf8() + QString(20, u'乙').toUtf8() + "\n";
        // The rarest character is dense too: the next ones, then the whole.
        QTest::newRow("utf8 dense first anchor, the next has none")
            << utf8 << "甲乙乙" << QString(300, u'甲').toUtf8() + "\n";
        QTest::newRow("utf8 dense first anchor, the next finds the match")
            << utf8 << "甲乙乙" << QString(300, u'甲').toUtf8() + "乙\r\n乙\n";
        QTest::newRow("utf8 every anchor dense, the match at the end")
            << utf8 << "甲乙丙丁丁"
            << QStringLiteral("甲乙丙").repeated(200).toUtf8() + "甲乙丙丁丁\n";
        QTest::newRow("utf8 every anchor dense, no match")
            << utf8 << "甲乙丙丁丁" << QStringLiteral("甲乙丙").repeated(200).toUtf8() + "丁\n";
        QTest::newRow("big5 dense first anchor, the next in a pair")
            << big5 << "甲乙乙" << QByteArray("\xA5\xD2").repeated(300) + "\xA4\x41\n";
        // Most Big5 characters are two lead bytes: a long line of them must
        // be read once, not back to its start for every candidate.
        const QByteArray pairs = QByteArray("\xAA\xBA\xA4\xEB\xAA\xBA").repeated(40000);
        QTest::newRow("big5 a long line of lead bytes, dense candidates")
            << big5 << "的月的月" << pairs + "\n";
        QTest::newRow("big5 a long line of lead bytes, a match at its end")
            << big5 << "的月的月" << pairs + "\xA4\xEB\n";
        QTest::newRow("big5 a long line, the anchor's bytes always across a pair")
            << big5 << "的" << QByteArray("\xA4\xAA\xBA\xA4").repeated(50000) + "\n";
        QTest::newRow("big5 dense candidates, a match across a line end")
            << big5 << QString(20, u'甲') + u'乙'
            << QByteArray(300, '\xA5').replace("\xA5\xA5", "\xA5\xD2") + "\r\n\xA4\x41\n";
    }
    void bytesAgreeWithText() {
        QFETCH(QByteArray, codec);
        QFETCH(QString, typed);
        QFETCH(QByteArray, lines);
        expectPathsAgree(typed, codec, lines);
    }

    // Every character found for one typed: the variant table's one-to-many
    // rows, and the case and width folds beside them.
    void forms_data() {
        QTest::addColumn<QChar>("typed");
        QTest::addColumn<QString>("forms");
        QTest::newRow("后, 後") << QChar(u'后') << "后後";
        QTest::newRow("系, 係, 繫") << QChar(u'繫') << "係系繫";
        QTest::newRow("里, 裏, 裡") << QChar(u'里') << "裏裡里";
        QTest::newRow("书, 書") << QChar(u'書') << "书書";
        QTest::newRow("no other form") << QChar(u'甲') << "甲";
        QTest::newRow("case and width") << QChar(u'Ａ') << "AaＡａ";
        QTest::newRow("ideographic space") << QChar(u' ') << " \u3000";
    }
    void forms() {
        QFETCH(QChar, typed);
        QFETCH(QString, forms);
        std::vector<char16_t> found =
            SearchPattern::formsOf(SearchPattern::folded(typed.unicode()));
        std::sort(found.begin(), found.end());
        QCOMPARE(QString(reinterpret_cast<const QChar*>(found.data()), qsizetype(found.size())),
                 forms);
    }

    // The characters the byte search anchors on, in turn: the ones repeated
    // least, not ASCII, the first of equals; each once, and three at most.
    void anchors_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<size_t>>("anchors");
        QTest::newRow("the one not repeated") << "甲甲甲丙" << QList<size_t>{3, 0};
        QTest::newRow("all once, the first three") << "后来的书" << QList<size_t>{0, 1, 2};
        QTest::newRow("ASCII is common") << "a甲" << QList<size_t>{1, 0};
        QTest::newRow("repeats counted after folding") << "后後來" << QList<size_t>{2, 0};
        QTest::newRow("a pair outside the BMP, whole") << "甲甲𠀀" << QList<size_t>{2, 0};
        QTest::newRow("only ASCII, the rarest") << "aab" << QList<size_t>{2, 0};
        QTest::newRow("the rarest, then the next") << "甲乙乙丙丙丙" << QList<size_t>{0, 1, 3};
    }
    void anchors() {
        QFETCH(QString, typed);
        QFETCH(QList<size_t>, anchors);
        const std::optional<EncodedSearch> search =
            EncodedSearch::make(SearchPattern(typed), textCodec("UTF-8"));
        QVERIFY(search);
        const std::vector<size_t> found = search->anchorIndexes();
        QCOMPARE(QList<size_t>(found.begin(), found.end()), anchors);
    }

    // Folding twice is folding once, or a typed form and the same form in
    // the text would differ; the variant table lists each character once, in
    // order, with another form, and never half a surrogate pair.
    void foldsAreOneForm() {
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            const char16_t folded = SearchPattern::folded(char16_t(c));
            if (SearchPattern::folded(folded) != folded)
                QFAIL(qPrintable(QStringLiteral("U+%1 folds on").arg(unsigned(c), 4, 16)));
        }
        const std::span<const VariantFold> folds = variantFolds();
        QVERIFY(folds.size() > 2000);
        for (size_t i = 0; i < folds.size(); ++i) {
            QVERIFY(i == 0 || folds[i - 1].character < folds[i].character);
            QVERIFY(folds[i].folded != folds[i].character);
            QVERIFY(!QChar::isSurrogate(folds[i].character));
        }
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
