// The user's files under faults: full disks, size limits, kills part-way
// through a save, files that are not regular files, memory running out and
// termination signals. Each runs where the fault is real: in a child process.

#include "AddressSpaceCap.h"
#include "TestFiles.h"
#include "platform/NarrowText.h"
#include "platform/RuntimeError.h"
#include "store/BookmarkFile.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Bookmark = QStringLiteral("MyPage.txt");

// What save_child printed and how it ended.
struct ChildResult {
    QByteArray output;
    bool killed = false;
    int exitCode = 0;
};

ChildResult runSaveChild(const QStringList& args) {
    QProcess child;
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/save_child"), args);
    if (!child.waitForFinished(30000))
        qFatal("save_child did not finish");
    return {child.readAllStandardOutput().trimmed(), child.exitStatus() == QProcess::CrashExit,
            child.exitCode()};
}

QString firstLine(const QString& path) {
    BookmarkLines lines;
    try {
        readBookmarkFile(path, lines);
    } catch (const RuntimeError&) {
    }
    return lines(1);
}

// A program directory that takes no new files, with a bookmark its user may
// write. Root may write anywhere, so then the save runs as "nobody".
struct ClosedDirectory {
    explicit ClosedDirectory(const QByteArray& old) {
        QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadOther | QFile::ExeOther);
        QDir(root.path()).mkdir(QStringLiteral("program"));
        path = root.filePath(QStringLiteral("program/") + Bookmark);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(old) != old.size())
            qFatal("cannot write the bookmark");
        file.close();
        if (::geteuid() == 0) {
            userArgs = {QStringLiteral("--user"), QStringLiteral("65534")};
            if (::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
                qFatal("cannot hand the bookmark to nobody");
        }
        ::chmod(QFile::encodeName(root.filePath(QStringLiteral("program"))).constData(), 0555);
    }
    ~ClosedDirectory() {
        ::chmod(QFile::encodeName(root.filePath(QStringLiteral("program"))).constData(), 0755);
    }

    QTemporaryDir root;
    QString path;
    QStringList userArgs;
};

// The real program, copied into a program directory of its own.
struct ProgramCopy {
    ProgramCopy() {
        if (!QFile::copy(QStringLiteral(ORVENLA_PROGRAM),
                         files.filePath(QStringLiteral("orvenla"))))
            qFatal("cannot copy the program");
        process.setProgram(files.filePath(QStringLiteral("orvenla")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           files.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(environment);
    }
    ~ProgramCopy() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    // Whether the program catches SIGTERM yet, as the kernel reports it.
    bool catchesTermination() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << (SIGTERM - 1));
        }
        return false;
    }

    void signal(int number) {
        QTRY_VERIFY_WITH_TIMEOUT(catchesTermination(), 10000);
        ::kill(pid_t(process.processId()), number);
    }

    ProgramDirFixture files;
    QProcess process;
};

} // namespace

class TestFileSafety : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A save that cannot be completed reports it and keeps the old bookmark
    // byte for byte, whether it writes beside the file or in place.
    void failedSaveKeepsOldFile_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QString>("limit");
        QTest::newRow("beside, nothing may be written") << false << "0";
        QTest::newRow("beside, line cut short") << false << "2";
        QTest::newRow("in place, file may not grow") << true << "3";
    }
    void failedSaveKeepsOldFile() {
        QFETCH(bool, inPlace);
        QFETCH(QString, limit);
        const QByteArray old("4\r\n");
        ProgramDirFixture open;
        open.write(Bookmark, old);
        ClosedDirectory closed(old);
        const QString path = inPlace ? closed.path : open.filePath(Bookmark);
        const ChildResult result = runSaveChild(
            QStringList{path, QStringLiteral("1234"), QStringLiteral("--fsize"), limit} +
            (inPlace ? closed.userArgs : QStringList()));
        QCOMPARE(result.output, QByteArray("75"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A folder that cannot take the temporary file still lets the bookmark be
    // rewritten in place; only a bookmark that needs room it cannot get is
    // reported as a full disk, and then it keeps its old bytes.
    void fullFileSystem_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("no block, the bookmark's own has room")
            << "--full-disk" << QByteArray("4\r\n")
            << QByteArray("saved\n") + QByteArray("1234\r\n").toHex();
        QTest::newRow("no block, an empty bookmark needs one")
            << "--full-disk" << QByteArray("") << QByteArray("61");
        QTest::newRow("no inode") << "--no-inodes" << QByteArray("4\r\n")
                                  << QByteArray("saved\n") + QByteArray("1234\r\n").toHex();
    }
    void fullFileSystem() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, output);
        ProgramDirFixture dir;
        const ChildResult result = runSaveChild(
            {dir.filePath(Bookmark), QStringLiteral("1234"), fault, QString::fromLatin1(old)});
        if (result.exitCode == 3)
            QSKIP("no mount namespace for a small full file system here");
        QCOMPARE(result.output, output);
    }

    // Killed after any step, the bookmark's first line reads as the old number
    // or the new one, never as empty or partial.
    void killedSaveLeavesOldOrNew_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<int>("killAfter");
        const QByteArray oldFiles[] = {"7", "1234567\r\nmore\r\n"};
        for (const QByteArray& old : oldFiles) {
            const char* size = old.size() == 1 ? "shorter" : "longer";
            for (int step = -1; step <= int(SaveStep::Renamed); ++step)
                QTest::addRow("beside, %s old file, step %d", size, step) << false << old << step;
            for (int step = int(SaveStep::InPlaceOpened); step <= int(SaveStep::InPlaceCut);
                 ++step) {
                // A longer old file is not grown first.
                if (step == int(SaveStep::InPlaceExtended) && old.size() > 3)
                    continue;
                QTest::addRow("in place, %s old file, step %d", size, step) << true << old << step;
            }
            QTest::addRow("in place, %s old file, whole save", size) << true << old << -1;
        }
    }
    void killedSaveLeavesOldOrNew() {
        QFETCH(bool, inPlace);
        QFETCH(QByteArray, old);
        QFETCH(int, killAfter);
        ProgramDirFixture open;
        open.write(Bookmark, old);
        ClosedDirectory closed(old);
        const QString path = inPlace ? closed.path : open.filePath(Bookmark);
        const ChildResult result =
            runSaveChild(QStringList{path, QStringLiteral("98"), QStringLiteral("--kill-after"),
                                     QString::number(killAfter)} +
                         (inPlace ? closed.userArgs : QStringList()));
        const QString first = firstLine(path);
        QVERIFY2(first == QString::fromLatin1(old.split('\r').first()) || first == u"98",
                 qPrintable(first));
        if (killAfter < 0) {
            QCOMPARE(result.output, QByteArray("saved"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("98\r\n"));
        } else {
            QVERIFY(result.killed);
        }
    }

    // Only regular files are opened; nothing blocks on a FIFO.
    void onlyRegularFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("readError");
        QTest::newRow("FIFO") << "fifo" << 75;
        QTest::newRow("directory") << "directory" << 75;
        QTest::newRow("link to a device") << "device" << 75;
        QTest::newRow("link loop") << "loop" << 75;
        QTest::newRow("dangling link") << "dangling" << 53;
        QTest::newRow("link to a regular file") << "link" << 0;
    }
    void onlyRegularFiles() {
        QFETCH(QString, kind);
        QFETCH(int, readError);
        ProgramDirFixture dir;
        const QByteArray path = QFile::encodeName(dir.filePath(Bookmark));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(path.constData(), 0644), 0);
        else if (kind == u"directory")
            QVERIFY(QDir(dir.path()).mkdir(Bookmark));
        else if (kind == u"device")
            QCOMPARE(::symlink("/dev/zero", path.constData()), 0);
        else if (kind == u"loop")
            QCOMPARE(::symlink(path.constData(), path.constData()), 0);
        else if (kind == u"dangling")
            QCOMPARE(::symlink("nowhere", path.constData()), 0);
        else {
            dir.write(QStringLiteral("real.txt"), "5\r\n");
            QCOMPARE(::symlink("real.txt", path.constData()), 0);
        }

        int raised = 0;
        BookmarkLines lines;
        try {
            readBookmarkFile(dir.filePath(Bookmark), lines);
        } catch (const RuntimeError& e) {
            raised = e.number();
        }
        QCOMPARE(raised, readError);

        raised = 0;
        try {
            writeBookmarkFile(dir.filePath(Bookmark), 8);
        } catch (const RuntimeError& e) {
            raised = e.number();
        }
        QCOMPARE(raised, readError == 75 ? 75 : 0);
        if (kind == u"link") {
            QVERIFY(QFileInfo(dir.filePath(Bookmark)).isSymLink());
            QCOMPARE(dir.read(QStringLiteral("real.txt")), QByteArray("8\r\n"));
        }
    }

    // Only the first line counts, so a huge bookmark reads as fast as a small
    // one; up to 64 KiB it reads exactly as the whole file would.
    void hugeBookmark_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("error");
        QTest::newRow("64 KiB, many lines") << (qint64(64) << 10) << 9;
        QTest::newRow("1 GiB") << (qint64(1) << 30) << 0;
    }
    void hugeBookmark() {
        QFETCH(qint64, size);
        QFETCH(int, error);
        ProgramDirFixture dir;
        QFile file(dir.filePath(Bookmark));
        QVERIFY(file.open(QIODevice::WriteOnly));
        // The small file has 21 lines and more; the huge one is sparse.
        file.write("7\r\n");
        if (error != 0)
            file.write(QByteArray("\r\n").repeated(30) + QByteArray(size - 63, 'x'));
        QVERIFY(file.resize(size));
        file.close();
        BookmarkLines read;
        int raised = 0;
        try {
            readBookmarkFile(file.fileName(), read);
        } catch (const RuntimeError& e) {
            raised = e.number();
        }
        QCOMPARE(raised, error);
        QCOMPARE(read(1), QStringLiteral("7"));
    }

    // A termination signal ends the reader as the user's close does.
    void signalClosesLikeTheUser_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("withData");
        QTest::addColumn<QByteArray>("bookmark");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGTERM") << int(SIGTERM) << true << QByteArray("4\r\n") << 0;
        QTest::newRow("SIGHUP") << int(SIGHUP) << true << QByteArray("4\r\n") << 0;
        QTest::newRow("SIGINT") << int(SIGINT) << true << QByteArray("4\r\n") << 0;
        // The error report is a modal box: it is dismissed and nothing saved.
        QTest::newRow("SIGTERM over the error report")
            << int(SIGTERM) << false << QByteArray("3.5") << 1;
    }
    void signalClosesLikeTheUser() {
        QFETCH(int, number);
        QFETCH(bool, withData);
        QFETCH(QByteArray, bookmark);
        QFETCH(int, exitCode);
        ProgramCopy program;
        if (withData)
            program.files.write(QStringLiteral("data.txt"), "***\r\na\r\n***\r\nb\r\n***\r\n"
                                                            "c\r\n***\r\nd\r\n***\r\n");
        program.files.write(Bookmark, "3.5");
        program.process.start();
        QVERIFY(program.process.waitForStarted());
        QByteArray report;
        if (!withData)
            QTRY_VERIFY_WITH_TIMEOUT(
                (report += program.process.readAllStandardError()).contains("'53'"), 10000);
        program.signal(number);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), exitCode);
        QCOMPARE(program.files.read(Bookmark), bookmark);
    }

    // Memory running out during start-up is reported as error 7, not a crash.
    void outOfMemoryAtStartUp() {
        SKIP_UNLESS_ADDRESS_SPACE_CAP_WORKS();
        ProgramCopy program;
        const QByteArray line = QByteArray(1 << 20, 'a') + "\r\n";
        program.files.write(QStringLiteral("data.txt"), "***\r\n" + line.repeated(256) + "***\r\n");
        program.process.setChildProcessModifier([] {
            const rlimit cap{rlim_t(800) << 20, rlim_t(800) << 20};
            ::setrlimit(RLIMIT_AS, &cap);
        });
        program.process.start();
        QVERIFY(program.process.waitForStarted());
        QByteArray report;
        QTRY_VERIFY_WITH_TIMEOUT((report += program.process.readAllStandardError()).contains("'7'"),
                                 30000);
        program.signal(SIGTERM);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
