#include "TestFiles.h"
#include "core/TextSearch.h"
#include "store/DataFile.h"

#include <QTest>

using Order = std::vector<int>;
using Match = std::optional<TextMatch>;

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
    // inside 中A (A4 A4 41), and those of A inside 你 (A7 41). The articles are
    // searched as text, so neither is a match.
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
        const std::atomic<bool> stop = false;
        QCOMPARE(
            findArticle(
                SearchPattern(typed), {1, 2, 3}, [&](int i) { return index.slotText(i); }, stop),
            article);
    }

    // A search asked to stop (Esc, or a new version of the file) ends
    // without an answer.
    void stopped() {
        const std::atomic<bool> stop = true;
        QCOMPARE(findArticle(
                     SearchPattern(u"a"), {1},
                     [](int) { return std::optional(QStringLiteral("a")); }, stop),
                 std::optional<int>());
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
