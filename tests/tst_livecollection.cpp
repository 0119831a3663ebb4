// The collection followed as an editor saves it: which versions are indexed
// and handed over, and which reports are only noise.

#include "TestFiles.h"
#include "store/LiveCollection.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

namespace {

// `count` articles, padded so that indexing them takes a while.
QByteArray articles(int count, int padding = 0) {
    QByteArray bytes = "***\r\n";
    const QByteArray filler(padding, 'x');
    for (int i = 1; i <= count; ++i)
        bytes += "A" + QByteArray::number(i) + filler + "\r\n***\r\n";
    return bytes;
}

// A large version: its index takes long enough to be caught under way.
QByteArray slowVersion(int count) {
    return articles(count, 30000);
}

// What the editor does when the collection enters a state: save a version,
// or touch another file in the folder.
enum class Act { Nothing, Save, TouchSibling };

struct Follower {
    explicit Follower(const ProgramDirFixture& folder) : files(folder) {
        collection.setReceivers({
            [this](DataFileIndex index) { counts << index.count(); },
            [this](std::exception_ptr) { failed = true; },
            [this] { ++passedOver; },
        });
        QObject::connect(&collection, &LiveCollection::stateChanged, &collection,
                         [this](LiveCollection::State state) {
                             states << state;
                             if (state == actOn && std::exchange(actOn, {}) == state)
                                 QTimer::singleShot(actAfter, &collection, [this] { act(); });
                         });
    }
    QString path() const { return files.filePath(QStringLiteral("data.txt")); }
    void act() {
        if (action == Act::Save)
            QVERIFY(saveByRename(path(), next));
        else if (action == Act::TouchSibling)
            files.write(QStringLiteral("other.txt"), "touched");
    }
    int entered(LiveCollection::State state) const { return int(states.count(state)); }

    const ProgramDirFixture& files;
    LiveCollection collection;
    QList<int> counts;
    QList<LiveCollection::State> states;
    bool failed = false;
    int passedOver = 0;
    // Done once, `actAfter` ms after the collection first enters `actOn`.
    std::optional<LiveCollection::State> actOn;
    int actAfter = 0;
    Act action = Act::Nothing;
    QByteArray next;
};

} // namespace

Q_DECLARE_METATYPE(Act)

class TestLiveCollection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each row: the first version, a second saved by rename once the collection
    // has settled, and what the editor does when the collection enters a state.
    void versionsHandedOver_data() {
        using S = LiveCollection::State;
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("actOn");
        QTest::addColumn<Act>("action");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<int>("reindexes");
        QTest::newRow("saved while first indexed")
            << QByteArray() << int(S::Indexing) << Act::Save << QList<int>{3000, 2} << -1;
        QTest::newRow("saved again while re-indexed")
            << slowVersion(2900) << int(S::Reindexing) << Act::Save << QList<int>{3, 2} << -1;
        QTest::newRow("another file touched while re-indexed")
            << slowVersion(2900) << int(S::Reindexing) << Act::TouchSibling << QList<int>{3, 2900}
            << 1;
        QTest::newRow("another file touched while watched")
            << QByteArray() << int(S::Watching) << Act::TouchSibling << QList<int>{3} << 0;
    }
    void versionsHandedOver() {
        QFETCH(QByteArray, second);
        QFETCH(int, actOn);
        QFETCH(Act, action);
        QFETCH(QList<int>, counts);
        QFETCH(int, reindexes);
        ProgramDirFixture files;
        Follower fx(files);
        const bool whileFirstIndexed =
            LiveCollection::State(actOn) == LiveCollection::State::Indexing;
        files.write(QStringLiteral("data.txt"),
                    whileFirstIndexed ? slowVersion(3000) : articles(3));
        QTest::qWait(60);
        fx.action = action;
        fx.next = articles(2);
        if (second.isEmpty()) {
            // Once the index has opened the file.
            fx.actAfter = whileFirstIndexed ? 10 : 0;
            fx.actOn = LiveCollection::State(actOn);
            fx.collection.start(fx.path());
        } else {
            fx.collection.start(fx.path());
            QTRY_COMPARE(fx.counts.size(), 1);
            fx.actOn = LiveCollection::State(actOn);
            QVERIFY(saveByRename(fx.path(), second));
        }
        QTest::qWait(800);
        QTRY_COMPARE_WITH_TIMEOUT(fx.collection.state(), LiveCollection::State::Watching, 5000);
        if (whileFirstIndexed)
            QCOMPARE(fx.counts.last(), 2); // the first version, if the index read it, then this
        else
            QCOMPARE(fx.counts, counts);
        // An index may open the file after the save and take it in itself:
        // -1 where the count of re-indexes depends on that.
        if (reindexes >= 0)
            QCOMPARE(fx.entered(LiveCollection::State::Reindexing), reindexes);
        QVERIFY(!fx.failed);
    }

    // Asked to look again, the collection follows a changed file, and says
    // so at once when there is nothing new.
    void recheck_data() {
        QTest::addColumn<bool>("changed");
        QTest::newRow("unchanged") << false;
        QTest::newRow("written over in place") << true;
    }
    void recheck() {
        QFETCH(bool, changed);
        ProgramDirFixture files;
        Follower fx(files);
        files.write(QStringLiteral("data.txt"), articles(3));
        QTest::qWait(60);
        fx.collection.start(fx.path());
        QTRY_COMPARE(fx.collection.state(), LiveCollection::State::Watching);
        if (changed) {
            QFile file(fx.path());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(file.write(articles(4)) > 0);
        }
        fx.collection.recheck();
        QCOMPARE(fx.passedOver, 0); // never from within the call
        QTRY_COMPARE(fx.counts.size() + fx.passedOver, 2);
        QCOMPARE(fx.counts.last(), changed ? 4 : 3);
    }
};

QTEST_GUILESS_MAIN(TestLiveCollection)
#include "tst_livecollection.moc"
