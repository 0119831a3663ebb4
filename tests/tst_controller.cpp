// The reader's life without a window: following each version of data.txt as
// editors save it, with the title and the text always of one article and the
// place never lost.

#include "TestFiles.h"
#include "core/ReaderController.h"
#include "platform/ProgramDirectory.h"
#include "platform/RuntimeError.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

namespace {

// Articles named by `names`, between separator lines.
QByteArray collection(const QList<QByteArray>& names) {
    QByteArray bytes = "intro\r\n***\r\n";
    for (const QByteArray& name : names)
        bytes += name + "\r\n***\r\n";
    return bytes;
}

QList<QByteArray> articles(int from, int to) {
    QList<QByteArray> names;
    for (int i = from; i <= to; ++i)
        names << "A" + QByteArray::number(i);
    return names;
}

// Records what the controller shows, and checks on every showing that the
// title names the article whose text is on show.
class RecordingView final : public ReaderView {
public:
    void applySavedAppearance() override {}
    void showPlace(const ReaderDisplay& display) override {
        if (display.text)
            text = *display.text;
        title = display.title;
        previousAvailable = display.previousAvailable;
        nextAvailable = display.nextAvailable;
        titles << title;
        // Each article's text names it, "A7" for article 7, in every version
        // these tests save; others ("new", "intro") name none.
        const QString number = title.section(u'(', 1).section(u' ', 0, 0);
        if (namesByNumber && text.startsWith(u"\r\nA") && text.mid(3).section(u' ', 0, 0) != number)
            mismatches << title + u' ' + text.trimmed();
        // The texts are ASCII but for 詩 and a character cut short; anything
        // else is the file read in the wrong encoding.
        for (QChar c : text)
            if (c.unicode() > 0x7F && c != QChar(0x8A69) && c != QChar::ReplacementCharacter)
                mismatches << title + QStringLiteral(" misread");
    }
    void beep() override { ++beeps; }
    void tellNumberTooLarge() override {}
    void collectionReplaced() override {}
    void closeNow() override {}
    void endWithError(const RuntimeError& error) override { errors << error.number(); }

    // Whether every version names its articles by their numbers.
    bool namesByNumber = true;
    QString text;
    QString title;
    bool previousAvailable = true;
    bool nextAvailable = true;
    QStringList titles;
    QStringList mismatches;
    int beeps = 0;
    QList<int> errors;
};

struct ControllerFixture {
    ControllerFixture() : directory(files.path()), controller(directory) {}

    QString dataPath() const { return files.filePath(QStringLiteral("data.txt")); }
    bool start(const QByteArray& data, const QByteArray& bookmark) {
        files.write(QStringLiteral("data.txt"), data);
        files.write(QStringLiteral("MyPage.txt"), bookmark);
        // Left alone, as a collection is when the reader starts.
        QTest::qWait(60);
        if (!controller.start(view))
            return false;
        return QTest::qWaitFor([&] { return controller.isStarted(); }, 10000);
    }
    QByteArray bookmark() const { return files.read(QStringLiteral("MyPage.txt")).trimmed(); }

    ProgramDirFixture files;
    FixedDirectory directory;
    RecordingView view;
    ReaderController controller;
};

bool writeInPlace(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size() &&
           file.resize(bytes.size());
}

// A save in steps: each version written in place, then left for `pause` ms.
struct Step {
    QByteArray bytes;
    int pause;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Versions an editor leaves on the way to its save: the reader may show
    // them for a moment, but ends on the article it was on, and the bookmark
    // never holds a place the reader chose for a passing version.
    void passingVersionsLoseNothing_data() {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bookmark");
        const QByteArray ten = collection(articles(1, 10));
        const QString back = QStringLiteral("Orvenla(5 of 10)");
        QTest::newRow("emptied for a moment")
            << QList<Step>{{"", 300}, {ten, 300}} << back << "\r\nA5" << QByteArray("5");
        QTest::newRow("a lone separator for a moment")
            << QList<Step>{{"***\r\n", 300}, {ten, 300}} << back << "\r\nA5" << QByteArray("5");
        QTest::newRow("no separator for a moment") << QList<Step>{{"A1\r\nA2\r\n", 300}, {ten, 300}}
                                                   << back << "\r\nA5" << QByteArray("5");
        QTest::newRow("the first three written, then the rest")
            << QList<Step>{{collection(articles(1, 3)), 300}, {ten, 300}} << back << "\r\nA5"
            << QByteArray("5");
        QTest::newRow("the article moved, back by half a save")
            << QList<Step>{{collection(articles(1, 3)), 300},
                           {collection(QList<QByteArray>{"new"} + articles(1, 10)), 300}}
            << "Orvenla(6 of 11)"
            << "\r\nA5" << QByteArray("6");
        // Kept a while, but not for a second after the bookmark's own delay.
        QTest::newRow("written in two goes, a second and a half apart")
            << QList<Step>{{collection(articles(1, 3)), 1500}, {ten, 300}} << back << "\r\nA5"
            << QByteArray("5");
        // Kept for good, the place the reader chose becomes the bookmark.
        QTest::newRow("cut below the article for good")
            << QList<Step>{{collection(articles(1, 3)), 1600}} << "Orvenla(3 of 3)"
            << "\r\nA3" << QByteArray("3");
        // Cut inside 詩 (E8 A9 A9), whose first two bytes are a Big5 character.
        QTest::newRow("cut inside a UTF-8 character for a moment")
            << QList<Step>{{collection({"A1", "A2", "A3 \xE8\xA9\xA9"}) + "A4 \xE8\xA9", 300},
                           {ten, 300}}
            << back << "\r\nA5" << QByteArray("5");
        QTest::newRow("too many articles, then back")
            << QList<Step>{{QByteArray("***\r\n").repeated(10001), 300}, {ten, 300}} << back
            << "\r\nA5" << QByteArray("5");
    }
    void passingVersionsLoseNothing() {
        QFETCH(QList<Step>, steps);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QByteArray, bookmark);
        ControllerFixture fx;
        fx.view.namesByNumber = title.endsWith(u"of 10)");
        QVERIFY(fx.start(collection(articles(1, 10)), "5\r\n"));
        for (const Step& step : steps) {
            QVERIFY(writeInPlace(fx.dataPath(), step.bytes));
            QTest::qWait(step.pause);
            // Never the place of a version the editor left on the way.
            if (step.pause < 1600)
                QVERIFY(fx.bookmark() == "5" || fx.bookmark() == bookmark);
        }
        QTRY_COMPARE_WITH_TIMEOUT(fx.view.title, title, 3000);
        QCOMPARE(fx.view.text, text);
        QTRY_COMPARE_WITH_TIMEOUT(fx.bookmark(), bookmark, 3000);
        for (const QString& seen : fx.view.titles)
            QVERIFY2(!seen.contains(u"of -1") && !seen.contains(u"of 0)"), qPrintable(seen));
        QVERIFY2(fx.view.mismatches.isEmpty(), qPrintable(fx.view.mismatches.join(u", ")));
        QVERIFY(fx.view.errors.isEmpty());
    }

    // A move made just after a save: answered on the new version, the same
    // way however the editor saved, and never with the title of one article
    // and the text of another.
    void moveJustAfterASave_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QByteArray inserted = collection(QList<QByteArray>{"new"} + articles(1, 10));
        QTest::newRow("inserted before, in place") << true << inserted << "Orvenla(7 of 11)"
                                                   << "\r\nA6";
        QTest::newRow("inserted before, by rename") << false << inserted << "Orvenla(7 of 11)"
                                                    << "\r\nA6";
        // A version that cannot be used answers nothing: the reader stays.
        QTest::newRow("too many articles, in place")
            << true << QByteArray("***\r\n").repeated(10001) << "Orvenla(5 of 10)"
            << "\r\nA5";
        QTest::newRow("too many articles, by rename")
            << false << QByteArray("***\r\n").repeated(10001) << "Orvenla(6 of 10)"
            << "\r\nA6";
    }
    void moveJustAfterASave() {
        QFETCH(bool, inPlace);
        QFETCH(QByteArray, after);
        QFETCH(QString, title);
        QFETCH(QString, text);
        ControllerFixture fx;
        fx.view.namesByNumber = title.endsWith(u"of 10)");
        QVERIFY(fx.start(collection(articles(1, 10)), "5\r\n"));
        QVERIFY(inPlace ? writeInPlace(fx.dataPath(), after) : saveByRename(fx.dataPath(), after));
        fx.controller.showNextArticle();
        QVERIFY2(fx.view.mismatches.isEmpty(), qPrintable(fx.view.mismatches.join(u", ")));
        QTRY_COMPARE_WITH_TIMEOUT(fx.view.title, title, 3000);
        QTest::qWait(1200);
        QCOMPARE(fx.view.title, title);
        QCOMPARE(fx.view.text, text);
        QCOMPARE(fx.controller.state(), ReaderController::State::Running);
        QVERIFY2(fx.view.mismatches.isEmpty(), qPrintable(fx.view.mismatches.join(u", ")));
    }

    // Appended to every 10 ms: each move shows its title with its own text.
    void movesWhileAppended() {
        ControllerFixture fx;
        QVERIFY(fx.start(collection(articles(1, 10)), "5\r\n"));
        QFile file(fx.dataPath());
        QVERIFY(file.open(QIODevice::Append));
        for (int i = 0; i < 120; ++i) {
            QVERIFY(file.write("more\r\n") > 0 && file.flush());
            if (i % 20 == 0)
                fx.controller.showNextArticle();
            QTest::qWait(10);
        }
        QTRY_COMPARE_WITH_TIMEOUT(fx.controller.state(), ReaderController::State::Running, 3000);
        QVERIFY2(fx.view.mismatches.isEmpty(), qPrintable(fx.view.mismatches.join(u", ")));
        QCOMPARE(fx.view.text,
                 QStringLiteral("\r\nA") + fx.view.title.section(u'(', 1).section(u' ', 0, 0));
    }

    // Where the place goes in a new version, and what the menu flags say.
    void placeInANewVersion_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("bookmark");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("previousAvailable");
        const QByteArray ten = collection(articles(1, 10));
        QList<QByteArray> moved = articles(1, 10);
        moved.move(1, 8);
        QTest::newRow("moved far past the near end")
            << ten << QByteArray("2") << collection(moved) << "Orvenla(9 of 10)" << true;
        QTest::newRow("now the first")
            << ten << QByteArray("3") << collection({"A3", "A4"}) << "Orvenla(1 of 2)" << false;
        QTest::newRow("none after one without separators")
            << QByteArray("***\r\nB\r\n") << QByteArray("1") << QByteArray("A2\r\n")
            << "Orvenla(1 of -1)" << false;
    }
    void placeInANewVersion() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, bookmark);
        QFETCH(QByteArray, after);
        QFETCH(QString, title);
        QFETCH(bool, previousAvailable);
        ControllerFixture fx;
        QVERIFY(fx.start(before, bookmark));
        QVERIFY(saveByRename(fx.dataPath(), after));
        QTRY_VERIFY_WITH_TIMEOUT(fx.view.titles.size() == 2, 3000);
        QCOMPARE(fx.view.title, title);
        QCOMPARE(fx.view.previousAvailable, previousAvailable);
        QVERIFY(fx.view.errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
