#include "platform/FileWatch.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using namespace std::chrono_literals;

// A program folder with data.txt in it, either the file itself or a link to
// one in a folder elsewhere, and a receiver that reads the file at each report
// and keeps it open, as the collection's index does.
class Scene {
public:
    explicit Scene(bool linked) : m_linked(linked) {
        if (!QDir(m_root.path()).mkpath(QStringLiteral("program")))
            qFatal("cannot make the program folder");
        m_target = linked ? folder(QStringLiteral("A"), "first") : program();
        write("first");
        if (linked)
            pointAt(m_target);
    }

    QString program() const { return m_root.filePath(QStringLiteral("program")); }
    QString dataFile() const { return program() + QStringLiteral("/data.txt"); }
    // The folder that holds the file itself.
    const QString& target() const { return m_target; }

    // A new folder elsewhere, made with its data.txt.
    QString folder(const QString& name, const QByteArray& bytes) {
        const QString path = m_root.filePath(QStringLiteral("elsewhere/") + name);
        if (!QDir().mkpath(path))
            qFatal("cannot make a folder");
        writeAt(path + QStringLiteral("/data.txt"), bytes);
        return path;
    }

    // What any editor's save leaves: the file's bytes, whatever way.
    void write(const QByteArray& bytes) { writeAt(m_target + QStringLiteral("/data.txt"), bytes); }
    static void writeAt(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    // The link replaced at once by one to `folder`'s data.txt, as `ln -sf`
    // through a rename does.
    void pointAt(const QString& folder) {
        const QString fresh = program() + QStringLiteral("/link.new");
        QFile::remove(fresh);
        if (!QFile::link(folder + QStringLiteral("/data.txt"), fresh) ||
            std::rename(QFile::encodeName(fresh).constData(),
                        QFile::encodeName(dataFile()).constData()) != 0)
            qFatal("cannot point the link");
        m_target = folder;
    }
    // Over whatever `to` names, unlike QFile::rename().
    static void renamePath(const QString& from, const QString& to) {
        if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()))
            qFatal("cannot rename %s", qPrintable(from));
    }

    // Exactly the paths the file's place calls for.
    QStringList wanted() const {
        QStringList paths{program(), dataFile()};
        if (m_linked)
            paths << m_target << m_root.filePath(QStringLiteral("elsewhere"));
        paths.sort();
        return paths;
    }

    void follow(FileWatch& watch) {
        read();
        QObject::connect(&watch, &FileWatch::changed, &watch, [this] { read(); });
    }
    const QByteArray& seen() const { return m_seen; }

private:
    void read() {
        auto file = std::make_unique<QFile>(dataFile());
        m_seen = file->open(QIODevice::ReadOnly) ? file->readAll() : QByteArray("<missing>");
        m_open = std::move(file);
    }

    QTemporaryDir m_root;
    bool m_linked;
    QString m_target;
    QByteArray m_seen;
    std::unique_ptr<QFile> m_open;
};

QStringList sorted(QStringList paths) {
    paths.sort();
    return paths;
}

} // namespace

class TestFileWatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every way of saving is followed to the last version, with the watches
    // failing at start (the user's inotify watches used up) or never given,
    // and afterwards exactly the wanted paths are watched: a write in place,
    // which only a watch on the file itself sees, is followed at once.
    void savesAreFollowed_data() {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("save");
        for (const char* save : {"in place", "renamed over", "deleted and made anew",
                                 "folder deleted and made anew"}) {
            for (const bool linked : {false, true}) {
                for (const char* failing : {"never", "at start", "always"}) {
                    QTest::addRow("%s, %s, watches failing %s", save, linked ? "link" : "file",
                                  failing)
                        << linked << QString::fromLatin1(failing) << QString::fromLatin1(save);
                }
            }
        }
        for (const char* failing : {"never", "at start"}) {
            QTest::addRow("link pointed elsewhere, watches failing %s", failing)
                << true << QString::fromLatin1(failing) << QStringLiteral("re-pointed");
            QTest::addRow("link pointed elsewhere 50 times, watches failing %s", failing)
                << true << QString::fromLatin1(failing) << QStringLiteral("re-pointed 50 times");
            QTest::addRow("link target's folder swapped, watches failing %s", failing)
                << true << QString::fromLatin1(failing) << QStringLiteral("folder swapped");
        }
    }
    void savesAreFollowed() {
        QFETCH(bool, linked);
        QFETCH(QString, failing);
        QFETCH(QString, save);
        Scene scene(linked);
        bool watchesLeft = failing == u"never";
        // Looking instead of watching is told on stderr once, and only then.
        const QRegularExpression told(QStringLiteral("cannot watch"));
        if (!watchesLeft || save.startsWith(u"folder deleted"))
            QTest::ignoreMessage(QtWarningMsg, told);
        QTest::failOnWarning(told);
        FileWatch watch(
            scene.dataFile(), [&](const QString&) { return watchesLeft; }, 20ms);
        scene.follow(watch);
        QCOMPARE(watch.isPolling(), !watchesLeft);

        const QByteArray saved = "saved by " + save.toUtf8();
        if (save == u"in place") {
            scene.write(saved);
        } else if (save == u"renamed over") {
            const QString temporary = scene.target() + QStringLiteral("/data.txt.new");
            Scene::writeAt(temporary, saved);
            Scene::renamePath(temporary, scene.target() + QStringLiteral("/data.txt"));
        } else if (save == u"deleted and made anew") {
            QVERIFY(QFile::remove(scene.target() + QStringLiteral("/data.txt")));
            QTRY_COMPARE(scene.seen(), QByteArray("<missing>"));
            scene.write(saved);
        } else if (save == u"folder deleted and made anew") {
            QVERIFY(QDir(scene.target()).removeRecursively());
            QTRY_COMPARE(scene.seen(), QByteArray("<missing>"));
            QVERIFY(QDir().mkpath(scene.target()));
            scene.write(saved);
        } else if (save == u"re-pointed") {
            scene.pointAt(scene.folder(QStringLiteral("B"), saved));
        } else if (save == u"re-pointed 50 times") {
            for (int i = 1; i <= 50; ++i) {
                scene.pointAt(scene.folder(QString::number(i), saved + QByteArray::number(i)));
                QTRY_COMPARE(scene.seen(), saved + QByteArray::number(i));
            }
            scene.write(saved);
        } else if (save == u"folder swapped") {
            const QString fresh = scene.folder(QStringLiteral("A.new"), saved);
            Scene::renamePath(scene.target(), scene.target() + QStringLiteral(".old"));
            Scene::renamePath(fresh, scene.target());
        }
        QTRY_COMPARE(scene.seen(), saved);

        if (failing == u"at start")
            watchesLeft = true;
        if (failing != u"always") {
            QTRY_VERIFY(!watch.isPolling());
            QCOMPARE(sorted(watch.watchedPaths()), scene.wanted());
        } else {
            QVERIFY(watch.isPolling());
            QVERIFY(watch.watchedPaths().isEmpty());
        }
        scene.write("written in place again");
        QTRY_COMPARE(scene.seen(), QByteArray("written in place again"));
    }
};

QTEST_GUILESS_MAIN(TestFileWatch)
#include "tst_filewatch.moc"
