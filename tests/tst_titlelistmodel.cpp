// The list of titles without widgets: the rows for what is typed, the row to
// select, the whole-text search on its task, and a new version followed.

#include "TestFiles.h"
#include "core/TitleListModel.h"
#include "platform/BackgroundTask.h"
#include "store/DataFile.h"
#include "text/TextCodecs.h"

#include <QSignalSpy>
#include <QTest>

using Articles = QList<int>;

namespace {

const QByteArray Poems = "***\r\n床前明月光\r\n疑是地上霜\r\n***\r\n春眠\r\n不覺曉\r\n***\r\n"
                         "\r\n舉頭望明月\r\n***\r\n靜夜思\r\n明月\r\n***\r\n";

// Each version in a file of its own, as an editor's save puts a new file in
// the old one's place.
std::shared_ptr<const DataFileIndex> indexOf(const ProgramDirFixture& dir, const QByteArray& data,
                                             bool inPlace = false) {
    static int versions = 0;
    const QString name = QStringLiteral("data%1.txt").arg(inPlace ? versions : ++versions);
    dir.write(name, data);
    return std::make_shared<DataFileIndex>(
        indexDataFile(dir.filePath(name), narrowCodecsFor("UTF-8")));
}

Articles articlesOf(const TitleListModel& model) {
    Articles articles;
    for (int row = 0; row < model.rowCount(); ++row)
        articles.append(model.articleAt(row));
    return articles;
}

} // namespace

class TestTitleListModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Whole-text filters dropped by a test may still be ending: let them, as
    // the program does before it exits.
    void cleanupTestCase() { BackgroundTask::waitForDroppedWork(2000); }
    // Opened on article `shown`, then `typed` (in the whole text where
    // asked): the rows, the article selected, the count and the first row.
    void filter_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("wholeText");
        QTest::addColumn<Articles>("articles");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("firstRow");
        QTest::newRow("nothing typed: all, the one shown selected")
            << "" << false << Articles{1, 2, 3, 4} << 3 << "4 篇"
            << "1　床前明月光";
        QTest::newRow("titles") << "明月" << false << Articles{1, 3} << 1 << "2 篇"
                                << "1　床前明月光";
        QTest::newRow("a number first") << "4" << false << Articles{4} << 4 << "1 篇"
                                        << "4　靜夜思";
        QTest::newRow("whole text: counts and excerpts")
            << "明月" << true << Articles{1, 3, 4} << 1 << "3 篇"
            << "1　床前明月光　（1 處）　床前【明月】光";
        QTest::newRow("whole text, beyond the titles")
            << "不覺" << true << Articles{2} << 2 << "1 篇"
            << "2　春眠　（1 處）　【不覺】曉";
        QTest::newRow("whole text, nothing typed: the titles")
            << "" << true << Articles{1, 2, 3, 4} << 3 << "4 篇"
            << "1　床前明月光";
        QTest::newRow("nothing found") << "秋" << true << Articles{} << 0 << "0 篇"
                                       << "";
    }
    void filter() {
        QFETCH(QString, typed);
        QFETCH(bool, wholeText);
        QFETCH(Articles, articles);
        QFETCH(int, selected);
        QFETCH(QString, count);
        QFETCH(QString, firstRow);
        ProgramDirFixture dir;
        TitleListModel model;
        int selectedRow = -2;
        connect(&model, &TitleListModel::rowsShown, &model, [&](int row) { selectedRow = row; });
        model.open(indexOf(dir, Poems), wholeText, 3);
        QCOMPARE(model.articleAt(selectedRow), 3);
        selectedRow = -2;
        model.setFilter(typed, wholeText, 3);
        QCOMPARE(model.isSearching(), wholeText && !typed.isEmpty());
        if (model.isSearching())
            QCOMPARE(model.countText(), QStringLiteral("搜尋中…"));
        QTRY_VERIFY(selectedRow != -2);
        QCOMPARE(articlesOf(model), articles);
        QCOMPARE(model.articleAt(selectedRow), selected);
        QCOMPARE(model.countText(), count);
        QCOMPARE(model.data(model.index(0), Qt::DisplayRole).toString(), firstRow);
        QCOMPARE(model.data(model.index(0), Qt::AccessibleTextRole).toString(), firstRow);
    }

    // The next keystroke restarts the search: only its rows come.
    void nextKeystrokeRestartsTheSearch() {
        ProgramDirFixture dir;
        TitleListModel model;
        QSignalSpy shown(&model, &TitleListModel::rowsShown);
        model.open(indexOf(dir, Poems), true, 1);
        model.setFilter(QStringLiteral("明"), true, 1);
        model.setFilter(QStringLiteral("不覺"), true, 1);
        QTRY_COMPARE(shown.count(), 2);
        QTest::qWait(50);
        QCOMPARE(shown.count(), 2);
        QCOMPARE(articlesOf(model), Articles{2});
        // Closing ends the next search too, and lets the version go.
        model.setFilter(QStringLiteral("明"), true, 1);
        model.close();
        QTest::qWait(50);
        QCOMPARE(shown.count(), 3);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.isSearching() && !model.version());
    }

    // A new version while the list is open: its rows, the article selected
    // followed by its text where it can be.
    void followsANewVersion_data() {
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("followed");
        QTest::newRow("article inserted before") << "***\r\n新\r\n" + Poems << false << 2 << 3;
        QTest::newRow("same place") << Poems + "末\r\n***\r\n" << false << 2 << 2;
        QTest::newRow("article gone: the number kept")
            << QByteArray("***\r\nA\r\n***\r\nB\r\n***\r\nC\r\n***\r\n") << false << 2 << 2;
        QTest::newRow("past the new last: the first row")
            << QByteArray("***\r\nA\r\n***\r\n") << false << 4 << 1;
        QTest::newRow("written over in place: by its title")
            << "***\r\n新\r\n" + Poems << true << 2 << 3;
        QTest::newRow("in place, the title twice: the nearest")
            << "***\r\n新\r\n***\r\n新\r\n***\r\n新\r\n***\r\n春眠\r\n" + Poems << true << 2 << 4;
        QTest::newRow("in place, the title gone: the number kept")
            << QByteArray("***\r\nA\r\n***\r\nB\r\n***\r\nC\r\n***\r\n") << true << 2 << 2;
    }
    void followsANewVersion() {
        QFETCH(QByteArray, after);
        QFETCH(bool, inPlace);
        QFETCH(int, selected);
        QFETCH(int, followed);
        ProgramDirFixture dir;
        TitleListModel model;
        int selectedRow = -2;
        connect(&model, &TitleListModel::rowsShown, &model, [&](int row) { selectedRow = row; });
        model.open(indexOf(dir, Poems), false, selected);
        const std::shared_ptr<const DataFileIndex> next = indexOf(dir, after, inPlace);
        model.follow(next, selected);
        QCOMPARE(model.rowCount(), int(next->count()));
        QCOMPARE(model.articleAt(selectedRow), followed);
        QCOMPARE(model.data(model.index(0), Qt::DisplayRole).toString(),
                 QStringLiteral("1　") + next->titles().title(1).toString());
    }
};

QTEST_GUILESS_MAIN(TestTitleListModel)
#include "tst_titlelistmodel.moc"
