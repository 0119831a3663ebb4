#include "TestFiles.h"
#include "core/TextSearch.h"
#include "core/TitleList.h"
#include "store/DataFile.h"
#include "text/TextCodecs.h"

#include <QTest>

using Articles = QList<int>;

namespace {

struct Indexed {
    ProgramDirFixture dir;
    DataFileIndex index;
};

std::unique_ptr<Indexed> indexed(const QByteArray& data, const QByteArray& codeset = "UTF-8") {
    auto made = std::make_unique<Indexed>();
    made->dir.write(QStringLiteral("data.txt"), data);
    made->index =
        indexDataFile(made->dir.filePath(QStringLiteral("data.txt")), narrowCodecsFor(codeset));
    return made;
}

Articles articlesOf(const std::vector<TitleRow>& rows) {
    Articles articles;
    for (const TitleRow& row : rows)
        articles.append(row.article);
    return articles;
}

// 月 and 明 in Big5.
const QByteArray Big5Moon = "\xA4\xEB";
const QByteArray Big5Bright = "\xA9\xFA";

} // namespace

class TestTitles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each file's first article; its title is the first line that is not
    // blank, trimmed, cut with an ellipsis to the longest title.
    void titles_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("codeset");
        QTest::addColumn<QString>("title");
        const QString cut = QString(ArticleTitles::LongestTitle - 1, u'長') + u'…';
        QTest::newRow("first line")
            << QByteArray("***\nmoon\nsun\n***\n") << QByteArray("UTF-8") << "moon";
        QTest::newRow("blank lines first, trimmed")
            << QByteArray("***\r\n\r\n  \t\r\n\xE3\x80\x80 床前 \r\nx\r\n***\r\n")
            << QByteArray("UTF-8") << "床前";
        QTest::newRow("CR LF and lone CR")
            << QByteArray("***\r\r\n\r明月\r\n***\r\n") << QByteArray("UTF-8") << "明月";
        QTest::newRow("only blank lines")
            << QByteArray("***\r\n \r\n\r\n***\r\nnext\r\n***\r\n") << QByteArray("UTF-8") << "";
        QTest::newRow("empty article") << QByteArray("***\r\n***\r\n") << QByteArray("UTF-8") << "";
        QTest::newRow("megabyte first line")
            << "***\r\n" + QString(1 << 19, u'長').toUtf8() + "\r\n***\r\n"
            << QByteArray("UTF-8") << cut;
        QTest::newRow("megabyte of blanks, then the title")
            << "***\r\n" + QByteArray(1 << 20, ' ') + "moon\r\n***\r\n"
            << QByteArray("UTF-8") << "moon";
        QTest::newRow("exactly the longest")
            << "***\r\n" + QString(ArticleTitles::LongestTitle, u'長').toUtf8() + "\r\n***\r\n"
            << QByteArray("UTF-8") << QString(ArticleTitles::LongestTitle, u'長');
        QTest::newRow("surrogate pair at the cut")
            << "***\r\n" +
                   ((QString(ArticleTitles::LongestTitle - 2, u'a') + QString::fromUtf16(u"𠀀𠀀")))
                       .toUtf8() +
                   "\r\n***\r\n"
            << QByteArray("UTF-8") << QString(ArticleTitles::LongestTitle - 2, u'a') + u'…';
        QTest::newRow("Big5") << "***\r\n\r\n" + Big5Bright + Big5Moon + "\r\n***\r\n"
                              << QByteArray("UTF-8") << "明月";
        QTest::newRow("Big5 line longer than the title")
            << "***\r\n" + Big5Moon.repeated(1000) + "\r\n***\r\n"
            << QByteArray("UTF-8") << QString(ArticleTitles::LongestTitle - 1, u'月') + u'…';
        QTest::newRow("text held whole") << QByteArray("***\r\n\r\n caf\xE9 \r\n***\r\n")
                                         << QByteArray("ISO-8859-1") << u"café"_qs;
    }
    void titles() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, codeset);
        QFETCH(QString, title);
        const auto file = indexed(data, codeset);
        const ArticleTitles titles(file->index);
        QCOMPARE(titles.count(), file->index.count());
        QCOMPARE(titles.title(1).toString(), title);
        QVERIFY(titles.title(0).isEmpty());
        QVERIFY(titles.title(titles.count() + 1).isEmpty());
    }

    void filter_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Articles>("articles");
        QTest::newRow("nothing typed: all") << "" << Articles{1, 2, 3, 4, 5, 6};
        QTest::newRow("inside a title") << "月" << Articles{1, 3};
        QTest::newRow("case and width") << "ＭＯon" << Articles{4};
        QTest::newRow("not in the text past the title") << "霜" << Articles{};
        QTest::newRow("a number offers its article first") << "2" << Articles{2, 5};
        QTest::newRow("full-width number") << "５" << Articles{5};
        QTest::newRow("number past the last") << "20" << Articles{5};
        QTest::newRow("zero is no article, only text") << "0" << Articles{5};
    }
    void filter() {
        QFETCH(QString, typed);
        QFETCH(Articles, articles);
        const auto file =
            indexed("***\r\n床前明月光\r\n疑是地上霜\r\n***\r\n春眠\r\n***\r\n"
                    "\r\n舉頭望明月\r\n***\r\nMoon\r\n***\r\n2020\r\n***\r\n\r\n***\r\n");
        QCOMPARE(articlesOf(filterTitles(ArticleTitles(file->index), typed)), articles);
    }

    // Whole-text rows: the articles that the byte search finds, each with as
    // many matches as the decoded text holds and the line piece around the
    // first match, in both encodings.
    void texts_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Articles>("articles");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QString>("excerpt");
        QTest::addColumn<QString>("marked");
        const QByteArray poems = "***\r\n床前明月光\r\n疑是地上霜\r\n***\r\n春眠\r\n***\r\n"
                                 "舉頭望明月，低頭思故鄉，明月\r\n***\r\n";
        QTest::newRow("UTF-8") << poems << "明月" << Articles{1, 3} << QList<int>{1, 2}
                               << "床前明月光"
                               << "明月";
        QTest::newRow("across a line end")
            << poems << "光疑" << Articles{1} << QList<int>{1} << "床前明月光"
            << "光";
        QTest::newRow("no match") << poems << "秋" << Articles{} << QList<int>{} << ""
                                  << "";
        QTest::newRow("long line cut around the match")
            << "***\r\n" + QString(40, u'甲').toUtf8() + "乙" + QString(40, u'甲').toUtf8() +
                   "\r\n***\r\n"
            << "乙" << Articles{1} << QList<int>{1}
            << u'…' + QString(ExcerptBefore, u'甲') + u'乙' + QString(ExcerptAfter, u'甲') + u'…'
            << "乙";
        QTest::newRow("Big5") << "***\r\n" + Big5Bright + Big5Moon + Big5Moon + "\r\n***\r\n"
                              << "月" << Articles{1} << QList<int>{2} << "明月月"
                              << "月";
        // A7 41 is 你: the A inside it is no match.
        QTest::newRow("Big5 trail byte is no letter")
            << QByteArray("***\r\n\xA7\x41\r\n***\r\nA\r\n***\r\n") << "a" << Articles{2}
            << QList<int>{1} << "A"
            << "A";
        QTest::newRow("text held whole") << QByteArray("***\r\ncaf\xE9\r\n***\r\n") << "CAF"
                                         << Articles{1} << QList<int>{1} << "café"
                                         << "caf";
    }
    void texts() {
        QFETCH(QByteArray, data);
        QFETCH(QString, typed);
        QFETCH(Articles, articles);
        QFETCH(QList<int>, counts);
        QFETCH(QString, excerpt);
        QFETCH(QString, marked);
        const auto file = indexed(data, QTest::currentDataTag() == QLatin1String("text held whole")
                                            ? QByteArray("ISO-8859-1")
                                            : QByteArray("UTF-8"));
        const std::atomic<bool> go = false;
        const auto rows = filterTexts(file->index, typed, go);
        QVERIFY(rows);
        QCOMPARE(articlesOf(*rows), articles);
        for (size_t i = 0; i < rows->size(); ++i) {
            const TitleRow& row = (*rows)[i];
            QCOMPARE(row.matches, counts[qsizetype(i)]);
            // The byte search, article by article, agrees.
            QVERIFY(findArticle(SearchPattern(typed), file->index, {row.article},
                                SearchDirection::Forward, go));
        }
        if (!rows->empty()) {
            const TitleRow& first = rows->front();
            QCOMPARE(first.excerpt, excerpt);
            QCOMPARE(
                first.excerpt.sliced(first.marked.start, first.marked.end - first.marked.start),
                marked);
        }
        const std::atomic<bool> stop = true;
        QVERIFY(!filterTexts(file->index, typed, stop) || typed.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTitles)
#include "tst_titles.moc"
