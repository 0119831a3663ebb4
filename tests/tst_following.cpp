// The window follows data.txt as an editor saves it, however it saves it.

#include "WindowFixture.h"

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

enum class Save { InPlace, Truncated, RenamedOverTwice, DeletedAndCreated, LinkRepointed };

// Saves `bytes` as data.txt the way an editor of that kind does.
void save(const ProgramDirFixture& files, Save how, const QByteArray& bytes) {
    const QString data = files.filePath(QStringLiteral("data.txt"));
    switch (how) {
    case Save::InPlace: {
        QFile file(data);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.write(bytes) == bytes.size() && file.resize(bytes.size()));
        return;
    }
    case Save::Truncated: {
        // Emptied first, then written in two goes, as some editors do.
        QFile file(data);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.flush());
        QTest::qWait(20);
        QVERIFY(file.write(bytes.first(bytes.size() / 2)) > 0 && file.flush());
        QVERIFY(file.write(bytes.sliced(bytes.size() / 2)) > 0);
        return;
    }
    case Save::RenamedOverTwice:
        // The first rename drops the watch on the old file: the second must still be seen.
        for (const QByteArray& version : {collection({"A1", "A2", "draft"}), bytes}) {
            files.write(QStringLiteral("data.txt~"), version);
            QVERIFY(::rename(QFile::encodeName(data + u'~').constData(),
                             QFile::encodeName(data).constData()) == 0);
            QTest::qWait(300);
        }
        return;
    case Save::DeletedAndCreated:
        QVERIFY(QFile::remove(data));
        QTest::qWait(300);
        files.write(QStringLiteral("data.txt"), bytes);
        return;
    case Save::LinkRepointed:
        files.write(QStringLiteral("v2.txt"), bytes);
        QVERIFY(QFile::link(files.filePath(QStringLiteral("v2.txt")), data + u'~'));
        QVERIFY(::rename(QFile::encodeName(data + u'~').constData(),
                         QFile::encodeName(data).constData()) == 0);
        return;
    }
}

} // namespace

class TestFollowing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each way of saving, and where the article on show ends up: at its new
    // number when it is still there, otherwise at its old one within the count.
    void followsEverySave_data() {
        QTest::addColumn<Save>("how");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("nextAvailable");
        const QByteArray grown = collection(articles(1, 5));
        QTest::newRow("in place") << Save::InPlace << grown << "Orvenla(2 of 5)"
                                  << "\r\nA2" << true;
        QTest::newRow("truncated and rewritten") << Save::Truncated << grown << "Orvenla(2 of 5)"
                                                 << "\r\nA2" << true;
        QTest::newRow("renamed over, twice in a row")
            << Save::RenamedOverTwice << grown << "Orvenla(2 of 5)"
            << "\r\nA2" << true;
        QTest::newRow("deleted and created")
            << Save::DeletedAndCreated << grown << "Orvenla(2 of 5)"
            << "\r\nA2" << true;
        QTest::newRow("link re-pointed") << Save::LinkRepointed << grown << "Orvenla(2 of 5)"
                                         << "\r\nA2" << true;
        QTest::newRow("article inserted before it")
            << Save::RenamedOverTwice << collection({"new", "A1", "A2", "A3"}) << "Orvenla(3 of 4)"
            << "\r\nA2" << true;
        QTest::newRow("article on show changed")
            << Save::InPlace << collection({"A1", "B2", "A3", "A4"}) << "Orvenla(2 of 4)"
            << "\r\nB2" << true;
        QTest::newRow("cut below the article on show")
            << Save::InPlace << collection({"B1"}) << "Orvenla(1 of 1)"
            << "\r\nB1" << false;
    }
    void followsEverySave() {
        QFETCH(Save, how);
        QFETCH(QByteArray, after);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, nextAvailable);
        WindowFixture fx;
        if (how == Save::LinkRepointed) {
            fx.files.write(QStringLiteral("v1.txt"), collection(articles(1, 3)));
            QVERIFY(QFile::link(fx.files.filePath(QStringLiteral("v1.txt")),
                                fx.files.filePath(QStringLiteral("data.txt"))));
        } else {
            fx.files.write(QStringLiteral("data.txt"), collection(articles(1, 3)));
        }
        fx.files.write(QStringLiteral("MyPage.txt"), "2");
        QVERIFY(fx.startWindow());
        fx.window().show();
        // Typed into the box: kept while the article's own text stays.
        fx.text()->appendPlainText(QStringLiteral("typed"));
        const QString typed = fx.text()->toPlainText();

        save(fx.files, how, after);
        QTRY_VERIFY_WITH_TIMEOUT(fx.window().session().position().count != 3, 5000);
        QCOMPARE(fx.window().windowTitle(), title);
        const bool unchanged = text == QStringLiteral("\r\nA2");
        QCOMPARE(fx.text()->toPlainText(), unchanged ? typed : QString(text).remove(u'\r'));
        QCOMPARE(fx.action("nextArticleAction")->isEnabled(), nextAvailable);
        QCOMPARE(fx.window().session().currentText(), std::optional(text));
        const QByteArray number = title.section(u'(', 1).section(u' ', 0, 0).toLatin1();
        // The bookmark, written only when the number moved.
        QTRY_COMPARE_WITH_TIMEOUT(fx.files.read(QStringLiteral("MyPage.txt")),
                                  number == "2" ? number : number + "\r\n", 3000);
        QVERIFY(fx.dialogs.messages.isEmpty());
    }

    // While the file is missing or a version cannot be used, the reader keeps
    // what it shows, asks nothing, and follows the next good version.
    void passesOverUnusableVersions_data() {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QByteArray>("unusable");
        QTest::newRow("gone, then back") << true << QByteArray();
        QTest::newRow("too many articles") << false << QByteArray("***\r\n").repeated(10000);
    }
    void passesOverUnusableVersions() {
        QFETCH(bool, remove);
        QFETCH(QByteArray, unusable);
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), collection(articles(1, 3)));
        fx.files.write(QStringLiteral("MyPage.txt"), "2");
        QVERIFY(fx.startWindow());
        if (remove)
            QVERIFY(QFile::remove(fx.files.filePath(QStringLiteral("data.txt"))));
        else
            save(fx.files, Save::InPlace, unusable);
        QTest::qWait(600);
        QCOMPARE(fx.window().windowTitle(), QStringLiteral("Orvenla(2 of 3)"));
        QCOMPARE(fx.window().exitStatus(), 0);
        QVERIFY(fx.dialogs.messages.isEmpty());

        fx.files.write(QStringLiteral("data.txt"), collection(articles(1, 4)));
        QTRY_COMPARE_WITH_TIMEOUT(fx.window().windowTitle(), QStringLiteral("Orvenla(2 of 4)"),
                                  5000);
    }
};

QTEST_MAIN(TestFollowing)
#include "tst_following.moc"
