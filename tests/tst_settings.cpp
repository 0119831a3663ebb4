#include "TestFiles.h"
#include "platform/IniSettingsStore.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <chrono>
#include <thread>

namespace {

const QString Font = QStringLiteral("Font");

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A file as the program leaves it, values QSettings quotes or escapes included.
QByteArray writtenByTheProgram() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    IniSettingsStore store(file);
    store.writeSetting(QStringLiteral("/其他/data.txt"), Font, QStringLiteral("Name"),
                       QStringLiteral(" \"Noto\" Serif, Bold; @x=y "));
    return contents(file);
}

int writeFailure(IniSettingsStore& store, const QString& application, const QString& value) {
    try {
        store.writeSetting(application, Font, QStringLiteral("Name"), value);
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    // Application names that QSettings alone would fold together or nest must
    // keep apart, and each must come back from the file as it went in.
    void namesNeverShare_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("leading slash") << "/a/b/data.txt"
                                       << "a/b/data.txt";
        QTest::newRow("doubled slash") << "/a/b/data.txt"
                                       << "/a//b/data.txt";
        QTest::newRow("trailing slash") << "/a/b"
                                        << "/a/b/";
        QTest::newRow("letter case") << "/a/B/data.txt"
                                     << "/a/b/data.txt";
        QTest::newRow("backslash") << "/a\\b/data.txt"
                                   << "/a/b/data.txt";
        QTest::newRow("equals sign") << "/a=b/data.txt"
                                     << "/a/b/data.txt";
        QTest::newRow("semicolon") << "/a;b/data.txt"
                                   << "/a/b/data.txt";
        QTest::newRow("blanks") << "/a b/data.txt "
                                << "/a b/data.txt";
        QTest::newRow("Chinese") << "/文章/data.txt"
                                 << "/文件/data.txt";
        QTest::newRow("empty name") << ""
                                    << "/";
        QTest::newRow("brackets and hash") << "[a]#b/data.txt"
                                           << "a#b/data.txt";
        QTest::newRow("percent and at") << "@a%2Fb"
                                        << "@a/b";
        QTest::newRow("quotes and comma") << "\"a, b\""
                                          << "a, b";
        QTest::newRow("drive prefix") << "C:\\Reader\\data.txt"
                                      << "C:/Reader/data.txt";
    }
    void namesNeverShare() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        IniSettingsStore store(file);
        store.writeSetting(first, Font, QStringLiteral("Name"), QStringLiteral("one"));
        QCOMPARE(store.readSetting(second, Font, QStringLiteral("Name"), QStringLiteral("none")),
                 QStringLiteral("none"));
        store.writeSetting(second, Font, QStringLiteral("Name"), QStringLiteral("two"));

        IniSettingsStore again(file);
        QCOMPARE(again.readSetting(first, Font, QStringLiteral("Name"), {}), QStringLiteral("one"));
        QCOMPARE(again.readSetting(second, Font, QStringLiteral("Name"), {}),
                 QStringLiteral("two"));
        // The name stays in the file beside its values, for a person to read.
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(IniSettingsStore::groupName(first) + QStringLiteral("/Application")),
                 QVariant(first));
    }

    void valuesComeBackUnchanged_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("Chinese face") << "新細明體";
        QTest::newRow("comma") << "Noto Serif CJK TC, Bold";
        QTest::newRow("blanks around") << "  10.5 ";
        QTest::newRow("semicolon and equals") << "a;b=c";
        QTest::newRow("quotes and backslash") << "\"a\\b\"";
        QTest::newRow("at sign first") << "@Invalid()";
        QTest::newRow("empty") << "";
        QTest::newRow("negative colour") << "-2147483643";
    }
    void valuesComeBackUnchanged() {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        IniSettingsStore(file).writeSetting(QStringLiteral("/r/data.txt"), Font,
                                            QStringLiteral("Name"), value);
        QCOMPARE(IniSettingsStore(file).readSetting(QStringLiteral("/r/data.txt"), Font,
                                                    QStringLiteral("Name"), QStringLiteral("x")),
                 value);
    }

    // The key table's values sit in the file as plain text a person can read.
    void fileHoldsPlainText() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        IniSettingsStore store(file);
        const QString app = QStringLiteral("/opt/reader/data.txt");
        store.writeSetting(app, Font, QStringLiteral("Name"), QStringLiteral("新細明體"));
        store.writeSetting(app, Font, QStringLiteral("Bold"), QStringLiteral("True"));
        store.writeSetting(app, Font, QStringLiteral("Size"), QStringLiteral("10.5"));
        store.writeSetting(app, Font, QStringLiteral("BackColor"), QStringLiteral("16777215"));
        // The group name is the one earlier versions wrote: another would lose
        // every saved look.
        const QByteArray expected = "[1ff9eb06b35d32ebd8b4d28e0b05df5a]\n"
                                    "Application=/opt/reader/data.txt\n"
                                    "Font\\BackColor=16777215\n"
                                    "Font\\Bold=True\n"
                                    "Font\\Name=" +
                                    QStringLiteral("新細明體").toUtf8() +
                                    "\n"
                                    "Font\\Size=10.5\n";
        QCOMPARE(contents(file).trimmed(), expected.trimmed());
    }

    void absentValuesGiveTheDefault_data() {
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::newRow("key absent") << "/r/data.txt"
                                    << "Font"
                                    << "Bold";
        QTest::newRow("section absent") << "/r/data.txt"
                                        << "Other"
                                        << "Name";
        QTest::newRow("application absent") << "/s/data.txt"
                                            << "Font"
                                            << "Name";
    }
    void absentValuesGiveTheDefault() {
        QFETCH(QString, application);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        IniSettingsStore store(file);
        store.writeSetting(QStringLiteral("/r/data.txt"), Font, QStringLiteral("Name"),
                           QStringLiteral("Serif"));
        const QByteArray before = contents(file);
        QCOMPARE(store.readSetting(application, section, key, QStringLiteral("False")),
                 QStringLiteral("False"));
        QCOMPARE(contents(file), before);
    }

    void readingCreatesNothing() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("sub/settings.ini"));
        QCOMPARE(IniSettingsStore(file).readSetting(QStringLiteral("/r/data.txt"), Font,
                                                    QStringLiteral("Name"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void writingKeepsOtherKeysAndApplications() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        IniSettingsStore first(file);
        IniSettingsStore second(file);
        first.writeSetting(QStringLiteral("/a/data.txt"), Font, QStringLiteral("Name"),
                           QStringLiteral("A"));
        second.writeSetting(QStringLiteral("/b/data.txt"), Font, QStringLiteral("Name"),
                            QStringLiteral("B"));
        first.writeSetting(QStringLiteral("/a/data.txt"), Font, QStringLiteral("Bold"),
                           QStringLiteral("True"));
        second.writeSetting(QStringLiteral("/a/data.txt"), Font, QStringLiteral("Name"),
                            QStringLiteral("A2"));
        IniSettingsStore reader(file);
        QCOMPARE(
            reader.readSetting(QStringLiteral("/a/data.txt"), Font, QStringLiteral("Name"), {}),
            QStringLiteral("A2"));
        QCOMPARE(
            reader.readSetting(QStringLiteral("/a/data.txt"), Font, QStringLiteral("Bold"), {}),
            QStringLiteral("True"));
        QCOMPARE(
            reader.readSetting(QStringLiteral("/b/data.txt"), Font, QStringLiteral("Name"), {}),
            QStringLiteral("B"));
    }

    // Two running copies writing the same file at once lose nothing.
    void twoCopiesWritingAtOnce() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        const QString writer = QCoreApplication::applicationDirPath() + "/settings_writer";
        const int count = 60;
        QProcess a;
        QProcess b;
        const QString again = QStringLiteral("again");
        a.start(writer, {file, QStringLiteral("/a/data.txt"), QString::number(count), again});
        b.start(writer, {file, QStringLiteral("/b/data.txt"), QString::number(count), again});
        QVERIFY(a.waitForFinished(60000));
        QVERIFY(b.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        IniSettingsStore store(file);
        for (const QString& app : {QStringLiteral("/a/data.txt"), QStringLiteral("/b/data.txt")}) {
            for (int i = 0; i < count; ++i) {
                QCOMPARE(store.readSetting(app, Font, QStringLiteral("K%1").arg(i), "lost"),
                         QString::number(i));
            }
        }
    }

    // Saves run on the GUI thread: a lock is waited for briefly, and one that
    // nobody holds or can take (a folder by its name stops even root) is told
    // apart from another copy's save. A child process keeps a wait without end
    // from hanging the test.
    void lockIsWaitedForBriefly_data() {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("folder at the lock") << "folder" << 3;
        QTest::newRow("held by a running copy") << "held" << 1;
        // Made and not yet written by a copy taking the lock.
        QTest::newRow("being made by another copy") << "empty" << 1;
        QTest::newRow("left by a copy that ended") << "ended" << 0;
    }
    void lockIsWaitedForBriefly() {
        QFETCH(QString, lock);
        QFETCH(int, exitCode);
        const ProgramDirFixture dir;
        const QString file = dir.filePath(QStringLiteral("orvenla.ini"));
        QLockFile held(file + QStringLiteral(".lock"));
        if (lock == QStringLiteral("folder"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("orvenla.ini.lock")));
        else if (lock == QStringLiteral("held"))
            QVERIFY(held.tryLock(0));
        else if (lock == QStringLiteral("empty"))
            dir.write(QStringLiteral("orvenla.ini.lock"), "");
        else
            dir.write(QStringLiteral("orvenla.ini.lock"), "2147483646\nsettings_writer\n" +
                                                              QSysInfo::machineHostName().toUtf8() +
                                                              '\n');
        QProcess writer;
        writer.start(QCoreApplication::applicationDirPath() + "/settings_writer",
                     {file, QStringLiteral("/a/data.txt"), QStringLiteral("1")});
        QVERIFY(writer.waitForFinished(5000));
        QCOMPARE(writer.exitCode(), exitCode);
        QCOMPARE_LT(writer.readAllStandardOutput().trimmed().toInt(), 1000);
    }

    // How long a save waits for a lock another copy holds: about 0.2 s, so a
    // lock let go within that is taken, and one held longer costs this save
    // (75) without stalling the window. A lock written on another machine (a
    // shared home folder) cannot be checked, so it is taken for a running
    // copy's, never for one that nobody can clear (70).
    void lockWaitIsShort_data() {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<int>("heldMs");
        QTest::addColumn<int>("error");
        QTest::newRow("let go after 0.1 s") << "this machine" << 100 << 0;
        QTest::newRow("let go after 0.4 s") << "this machine" << 400 << 75;
        QTest::newRow("held throughout") << "this machine" << -1 << 75;
        QTest::newRow("another machine's") << "another machine" << -1 << 75;
    }
    void lockWaitIsShort() {
        QFETCH(QString, holder);
        QFETCH(int, heldMs);
        QFETCH(int, error);
        const ProgramDirFixture dir;
        const QString file = dir.filePath(QStringLiteral("orvenla.ini"));
        const QString lockName = file + QStringLiteral(".lock");
        QLockFile held(lockName);
        if (holder == u"another machine")
            dir.write(QStringLiteral("orvenla.ini.lock"),
                      "2147483646\nsettings_writer\nsomewhere-else.invalid\n");
        else
            QVERIFY(held.tryLock(0));
        std::thread letGo;
        if (heldMs >= 0) {
            letGo = std::thread([&held, heldMs] {
                std::this_thread::sleep_for(std::chrono::milliseconds(heldMs));
                held.unlock();
            });
        }
        const auto joined = qScopeGuard([&] {
            if (letGo.joinable())
                letGo.join();
        });
        IniSettingsStore store(file);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(writeFailure(store, QStringLiteral("/a/data.txt"), QStringLiteral("x")), error);
        const qint64 waited = clock.elapsed();
        if (error != 0) {
            QCOMPARE_GE(waited, 180);
            QCOMPARE_LT(waited, 500);
        }
    }

    void handEditedListIsReadAsText() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        const QString app = QStringLiteral("/r/data.txt");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write('[' + IniSettingsStore::groupName(app).toLatin1() +
                  "]\nFont\\Name=Noto Serif, Bold\nFont\\Size=@Variant(junk)\n");
        out.close();
        IniSettingsStore store(file);
        QCOMPARE(store.readSetting(app, Font, QStringLiteral("Name"), {}),
                 QStringLiteral("Noto Serif, Bold"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 store.readSetting(app, Font, QStringLiteral("Size"), "11"));
    }

    // A store that cannot be reached is an error, never a silent default.
    void unreachableStoreFails() {
        QTemporaryDir dir;
        IniSettingsStore store(dir.path()); // a directory, not a file
        QVERIFY_THROWS_EXCEPTION(RuntimeError, store.readSetting(QStringLiteral("/r"), Font,
                                                                 QStringLiteral("Name"), "d"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, store.writeSetting(QStringLiteral("/r"), Font,
                                                                  QStringLiteral("Name"), "v"));
        const QString underFile = dir.filePath(QStringLiteral("plain"));
        QFile plain(underFile);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY_THROWS_EXCEPTION(
            RuntimeError, IniSettingsStore(underFile + "/settings.ini")
                              .writeSetting(QStringLiteral("/r"), Font, QStringLiteral("N"), "v"));
    }

    // A save either keeps every other line's meaning or leaves the file as it was.
    void saveKeepsOtherLinesOrRefuses_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("refused");
        // Edited by hand after a save of the store's own, which must not take
        // the file for its own writing.
        QTest::addColumn<bool>("afterASave");
        QTest::newRow("line without equals")
            << QByteArray("[other]\nkey=1\nno equals\n") << true << false;
        QTest::newRow("semicolon comment")
            << QByteArray("; mine\n[other]\nkey=1\n") << true << false;
        QTest::newRow("Big5 value")
            << QByteArray("[other]\nName=\xb7\x73\xb2\xd3\n") << true << false;
        QTest::newRow("Big5 folder in a path")
            << QByteArray("[other]\nApplication=/\xb7\x73/data.txt\nFont\\Name=x\n") << true
            << false;
        QTest::newRow("duplicate key") << QByteArray("[other]\nkey=1\nkey=2\n") << true << false;
        QTest::newRow("section name with blank")
            << QByteArray("[my other]\nkey=1\n") << true << false;
        QTest::newRow("written by the program") << writtenByTheProgram() << false << false;
        QTest::newRow("spaced key = value")
            << QByteArray("[other]\n  key = 1  \n\n\n[more]\nx=2\n") << false << false;
        QTest::newRow("missing final newline") << QByteArray("[other]\nkey=1") << false << false;
        QTest::newRow("CR LF and lone CR")
            << QByteArray("[other]\r\nkey=1\rx=2\r\n") << false << false;
        QTest::newRow("out of order") << QByteArray("[z]\nb=1\na=2\n[a]\nk=v\n") << false << false;
        QTest::newRow("key before any section")
            << QByteArray("key=1\n[other]\nx=2\n") << false << false;
        QTest::newRow("comment added after a save") << QByteArray("; mine\n") << true << true;
        QTest::newRow("key added after a save") << QByteArray("[more]\nx=2\n") << false << true;
    }
    void saveKeepsOtherLinesOrRefuses() {
        QFETCH(QByteArray, before);
        QFETCH(bool, refused);
        QFETCH(bool, afterASave);
        const ProgramDirFixture dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        IniSettingsStore store(file);
        if (afterASave) {
            store.writeSetting(QStringLiteral("/o/data.txt"), Font, QStringLiteral("Size"), "9");
            before = contents(file) + before;
        }
        dir.write(QStringLiteral("settings.ini"), before);
        QVariantMap others;
        {
            const QSettings original(file, QSettings::IniFormat);
            for (const QString& key : original.allKeys())
                others.insert(key, original.value(key));
        }
        const QString app = QStringLiteral("/r/data.txt");
        QCOMPARE(writeFailure(store, app, QStringLiteral("Serif")),
                 refused ? int(RuntimeError::PathFileAccess) : 0);
        if (refused) {
            QCOMPARE(contents(file), before);
            return;
        }
        QCOMPARE(store.readSetting(app, Font, QStringLiteral("Name"), {}), QStringLiteral("Serif"));
        const QSettings after(file, QSettings::IniFormat);
        for (auto it = others.cbegin(); it != others.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    }

    // Opening a FIFO would block for ever.
    void fifoIsNeverOpened() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        IniSettingsStore store(fifo);
        QCOMPARE(writeFailure(store, QStringLiteral("/r"), QStringLiteral("v")),
                 int(RuntimeError::PathFileAccess));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, store.readSetting(QStringLiteral("/r"), Font,
                                                                 QStringLiteral("Name"), "d"));
    }

    // A relative XDG_CONFIG_HOME is ignored, as the XDG rules ask; Qt alone
    // would take it below whatever folder the reader was started from.
    void userFileIsInTheConfigurationDirectory_data() {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<QString>("folder");
        QTest::newRow("set") << QFile::encodeName(m_config.path()) << m_config.path();
        QTest::newRow("relative") << QByteArray("relcfg")
                                  << QDir::homePath() + QStringLiteral("/.config");
    }
    void userFileIsInTheConfigurationDirectory() {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, folder);
        const auto restore =
            qScopeGuard([this] { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); });
        qputenv("XDG_CONFIG_HOME", configHome);
        QCOMPARE(IniSettingsStore().fileName(), folder + QStringLiteral("/Orvenla/orvenla.ini"));
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
