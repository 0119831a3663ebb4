// The user's files under faults: full disks, size limits, kills part-way
// through a save, files that are not regular files, memory running out and
// termination signals. Each runs where the fault is real: in a child process.

#include "AddressSpaceCap.h"
#include "TestFiles.h"
#include "platform/FileNames.h"
#include "platform/RuntimeError.h"
#include "store/BookmarkFile.h"
#include "text/NarrowText.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
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

ChildResult
runSaveChild(const QStringList& args,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess child;
    child.setProcessEnvironment(environment);
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

// Writes a file named by bytes, which QFile cannot name when they are not UTF-8.
void writeBytes(const QByteArray& name, const QByteArray& bytes) {
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        qFatal("cannot write %s", name.constData());
    ::close(fd);
}

QByteArray readBytes(const QByteArray& name) {
    QFile file;
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<missing>";
    return file.readAll();
}

const QByteArray TenArticles = "***\r\n" + QByteArray("a\r\n***\r\n").repeated(10);

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
        QTest::newRow("in place, file may grow one byte") << true << "4";
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
        QTest::newRow("no inode, no bookmark yet")
            << "--no-inodes" << QByteArray("-") << QByteArray("61");
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
        QTest::addColumn<int>("stampAhead");
        QTest::newRow("SIGTERM") << int(SIGTERM) << true << QByteArray("4\r\n") << 0 << 0;
        QTest::newRow("SIGHUP") << int(SIGHUP) << true << QByteArray("4\r\n") << 0 << 0;
        QTest::newRow("SIGINT") << int(SIGINT) << true << QByteArray("4\r\n") << 0 << 0;
        // The error report is a modal box: it is dismissed and nothing saved.
        QTest::newRow("SIGTERM over the error report")
            << int(SIGTERM) << false << QByteArray("3.5") << 1 << 0;
        // A clock that ran ahead where the file was written must not hold up
        // the start, nor the signal that comes during it.
        QTest::newRow("SIGTERM, collection stamped a day ahead")
            << int(SIGTERM) << true << QByteArray("4\r\n") << 0 << 86400;
    }
    void signalClosesLikeTheUser() {
        QFETCH(int, number);
        QFETCH(bool, withData);
        QFETCH(QByteArray, bookmark);
        QFETCH(int, exitCode);
        QFETCH(int, stampAhead);
        ProgramCopy program;
        if (withData)
            program.files.write(QStringLiteral("data.txt"), "***\r\na\r\n***\r\nb\r\n***\r\n"
                                                            "c\r\n***\r\nd\r\n***\r\n");
        if (stampAhead != 0) {
            QFile data(program.files.filePath(QStringLiteral("data.txt")));
            QVERIFY(data.open(QIODevice::ReadWrite));
            QVERIFY(data.setFileTime(QDateTime::currentDateTime().addSecs(stampAhead),
                                     QFileDevice::FileModificationTime));
        }
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
        if constexpr (underThreadSanitizer)
            QSKIP("The thread sanitizer's shadow memory alone takes more than this cap.");
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
    // A save keeps the bookmark's own mode, whichever way it writes; a new
    // bookmark gets what the umask leaves of 0666, as any new file does.
    void saveKeepsMode_data() {
        QTest::addColumn<bool>("existed");
        QTest::addColumn<int>("mode");
        QTest::newRow("0600") << true << 0600;
        QTest::newRow("0640") << true << 0640;
        QTest::newRow("0604") << true << 0604;
        QTest::newRow("new, umask 027") << false << 0640;
    }
    void saveKeepsMode() {
        QFETCH(bool, existed);
        QFETCH(int, mode);
        ProgramDirFixture dir;
        const QByteArray path = QFile::encodeName(dir.filePath(Bookmark));
        // A mask that would change each mode given.
        const mode_t mask = ::umask(027);
        const auto restoreMask = qScopeGuard([mask] { ::umask(mask); });
        if (existed) {
            dir.write(Bookmark, "4\r\n");
            QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
        }
        writeBookmarkFile(dir.filePath(Bookmark), 9);
        struct stat info {};
        QCOMPARE(::stat(path.constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), mode);
        QCOMPARE(dir.read(Bookmark), QByteArray("9\r\n"));
    }

    // The new bytes reach the disk before the save counts as done, and a
    // rename with its folder.
    void savesReachTheDisk_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QByteArray>("syncs");
        QTest::newRow("beside") << false << QByteArray("file\nother\n");
        QTest::newRow("in place") << true << QByteArray("file\n");
    }
    void savesReachTheDisk() {
        QFETCH(bool, inPlace);
        QFETCH(QByteArray, syncs);
        ProgramDirFixture open;
        open.write(Bookmark, "4\r\n");
        ClosedDirectory closed("4\r\n");
        QTemporaryDir logDir;
        QFile::setPermissions(logDir.path(), QFileDevice::Permissions(0x7777));
        const QString log = logDir.filePath(QStringLiteral("fsync.log"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(FSYNC_COUNTER));
        environment.insert(QStringLiteral("ORVENLA_FSYNC_LOG"), log);
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           environment.value(QStringLiteral("ASAN_OPTIONS")) +
                               QStringLiteral(":verify_asan_link_order=0"));
        const QString path = inPlace ? closed.path : open.filePath(Bookmark);
        const ChildResult result = runSaveChild(QStringList{path, QStringLiteral("98")} +
                                                    (inPlace ? closed.userArgs : QStringList()),
                                                environment);
        QCOMPARE(result.output, QByteArray("saved"));
        QFile written(log);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), syncs);
    }

    // An append-only folder keeps every name made in it: the bookmark is
    // rewritten in place and no temporary file is left behind.
    void appendOnlyFolder() {
        ProgramDirFixture dir;
        dir.write(Bookmark, "4\r\n");
        const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY);
        int flags = 0;
        if (::ioctl(folder, FS_IOC_GETFLAGS, &flags) != 0 ||
            (flags |= FS_APPEND_FL, ::ioctl(folder, FS_IOC_SETFLAGS, &flags) != 0)) {
            ::close(folder);
            QSKIP("no append-only folders here: needs root and a file system that keeps the flag");
        }
        const auto clearFlag = qScopeGuard([&] {
            flags &= ~FS_APPEND_FL;
            ::ioctl(folder, FS_IOC_SETFLAGS, &flags);
            ::close(folder);
        });
        writeBookmarkFile(dir.filePath(Bookmark), 1234);
        QCOMPARE(dir.read(Bookmark), QByteArray("1234\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    }

    // Only what a killed save of ours left is removed.
    void staleTemporaryFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("removed");
        QTest::newRow("ours") << ".MyPage.txt.Ab12Cd"
                              << "file" << true;
        QTest::newRow("held by a running save") << ".MyPage.txt.Held99"
                                                << "held" << false;
        QTest::newRow("another user's") << ".MyPage.txt.Other1"
                                        << "foreign" << false;
        QTest::newRow("a link") << ".MyPage.txt.Link12"
                                << "link" << false;
        QTest::newRow("a folder") << ".MyPage.txt.Dir123"
                                  << "folder" << false;
        QTest::newRow("name too long") << ".MyPage.txt.Ab12Cd7"
                                       << "file" << false;
        QTest::newRow("another file's") << ".data.txt.Ab12Cd"
                                        << "file" << false;
    }
    void staleTemporaryFiles() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        ProgramDirFixture dir;
        dir.write(Bookmark, "4\r\n");
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        QFile held(dir.filePath(name));
        if (kind == u"link") {
            QCOMPARE(::symlink(Bookmark.toLatin1().constData(), path.constData()), 0);
        } else if (kind == u"folder") {
            QVERIFY(QDir(dir.path()).mkdir(name));
        } else {
            dir.write(name, "9\r\n");
            if (kind == u"held") {
                QVERIFY(held.open(QIODevice::ReadOnly));
                QCOMPARE(::flock(held.handle(), LOCK_EX), 0);
            }
            if (kind == u"foreign" && (::geteuid() != 0 || ::chown(path.constData(), 65534, 65534)))
                QSKIP("only root can give a file to another user");
        }
        removeStaleTemporaryFiles(dir.filePath(Bookmark));
        QCOMPARE(QFileInfo(dir.filePath(name)).exists() ||
                     QFileInfo(dir.filePath(name)).isSymLink(),
                 !removed);
        QCOMPARE(dir.read(Bookmark), QByteArray("4\r\n"));
    }

    // The clean-up leaves alone the temporary file of a save under way.
    void cleanUpSparesASaveUnderWay() {
        ProgramDirFixture dir;
        dir.write(Bookmark, "4\r\n");
        qsizetype files = 0;
        writeBookmarkFile(dir.filePath(Bookmark), 9, [&](SaveStep step) {
            if (step == SaveStep::TemporaryWritten) {
                removeStaleTemporaryFiles(dir.filePath(Bookmark));
                files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size();
            }
        });
        QCOMPARE(files, 2);
        QCOMPARE(dir.read(Bookmark), QByteArray("9\r\n"));
    }

    // Ended with no chance to close (a kill, a crash, a power cut), the reader
    // has the place on disk when a second has passed since the last move;
    // never once per key, and not at all when the file already holds it.
    void killedAfterMoves_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("wait");
        QTest::addColumn<QByteArray>("bookmark");
        QTest::newRow("two moves, killed two seconds later") << "RR" << 2000 << QByteArray("5\r\n");
        QTest::newRow("two moves, killed at once") << "RR" << 0 << QByteArray("3");
        QTest::newRow("away and back") << "RRLL" << 2000 << QByteArray("3");
    }
    void killedAfterMoves() {
        QFETCH(QString, keys);
        QFETCH(int, wait);
        QFETCH(QByteArray, bookmark);
        ProgramDirFixture dir;
        dir.write(QStringLiteral("data.txt"), TenArticles);
        dir.write(Bookmark, "3");
        dir.write(QStringLiteral(".MyPage.txt.Stale1"), "7\r\n");
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/reader_child"),
                    {dir.path(), keys, QString::number(wait)});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(dir.read(Bookmark), bookmark);
        QVERIFY(!dir.exists(QStringLiteral(".MyPage.txt.Stale1")));
    }

    // A program folder named in Big5, started through a link from a folder
    // that holds a collection of its own: the program's folder is used, also
    // when the program's path is longer than the first read of it takes.
    void folderNotNamedInUtf8_data() {
        QTest::addColumn<int>("pathLength");
        QTest::newRow("short") << 0;
        QTest::newRow("path of 256 bytes") << 256;
        QTest::newRow("path of 280 bytes") << 280;
    }
    void folderNotNamedInUtf8() {
        QFETCH(int, pathLength);
        ProgramCopy program;
        const QByteArray home = QFile::encodeName(program.files.path());
        QByteArray folder = home + "/\xa4\xa4\xa4\xe5";
        const qsizetype padding = pathLength - (folder + "/orvenla").size();
        if (pathLength > 0) {
            if (padding <= 0 || padding > 251)
                QSKIP("the temporary folder's own path leaves no room for this length");
            folder += QByteArray(padding, 'x');
        }
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        // QTemporaryDir cannot name what it would remove in there.
        const auto removeFolder = qScopeGuard([&] {
            for (const char* name : {"/orvenla", "/data.txt", "/MyPage.txt"})
                ::unlink((folder + name).constData());
            ::rmdir(folder.constData());
        });
        QCOMPARE(::rename((home + "/orvenla").constData(), (folder + "/orvenla").constData()), 0);
        QCOMPARE(::symlink((folder + "/orvenla").constData(), (home + "/link").constData()), 0);
        writeBytes(folder + "/data.txt", TenArticles);
        writeBytes(folder + "/MyPage.txt", "2");
        program.files.write(QStringLiteral("data.txt"), "***\r\nonly\r\n***\r\n");
        program.process.setProgram(program.files.filePath(QStringLiteral("link")));
        program.process.setWorkingDirectory(program.files.path());
        program.process.start();
        QVERIFY(program.process.waitForStarted());
        program.signal(SIGTERM);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitCode(), 0);
        QCOMPARE(readBytes(folder + "/MyPage.txt"), QByteArray("2\r\n"));
        QVERIFY(!program.files.exists(Bookmark));
    }

    // A settings file that is a FIFO is never opened: the reader starts, without
    // the saved look, and ends as usual.
    void settingsFifoNeverBlocks_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("the program's file") << "Orvenla/orvenla.ini";
        QTest::newRow("the organisation's file") << "Orvenla.ini";
    }
    void settingsFifoNeverBlocks() {
        QFETCH(QString, name);
        ProgramCopy program;
        program.files.write(QStringLiteral("data.txt"), TenArticles);
        program.files.write(Bookmark, "2");
        QVERIFY(QDir(program.files.path()).mkpath(QStringLiteral("config/Orvenla")));
        const QString fifo = program.files.filePath(QStringLiteral("config/") + name);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        program.process.start();
        QVERIFY(program.process.waitForStarted());
        program.signal(SIGTERM);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitCode(), 0);
        QCOMPARE(program.files.read(Bookmark), QByteArray("2\r\n"));
    }

    // A broken pipe never ends the reader: not a SIGPIPE sent to it, nor its
    // error report written to a stderr nobody reads any more.
    void brokenPipesAreHarmless_data() {
        QTest::addColumn<bool>("withData");
        QTest::newRow("kill -PIPE") << true;
        QTest::newRow("report to a closed stderr") << false;
    }
    void brokenPipesAreHarmless() {
        QFETCH(bool, withData);
        ProgramCopy program;
        if (withData)
            program.files.write(QStringLiteral("data.txt"), TenArticles);
        program.files.write(Bookmark, "2");
        if (!withData) {
            program.process.setChildProcessModifier([] {
                int ends[2];
                if (::pipe(ends) == 0) {
                    ::close(ends[0]);
                    ::dup2(ends[1], STDERR_FILENO);
                }
            });
        }
        program.process.start();
        QVERIFY(program.process.waitForStarted());
        if (withData)
            program.signal(SIGPIPE);
        QTest::qWait(1500);
        QCOMPARE(program.process.state(), QProcess::Running);
        program.signal(SIGTERM);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), withData ? 0 : 1);
    }

    // Names keep their bytes, UTF-8 or not, through the program's text.
    void fileNamesKeepTheirBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ASCII") << QByteArray("/opt/reader") << true;
        QTest::newRow("Chinese in UTF-8") << QByteArray("/home/\xe4\xb8\xad") << true;
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << true;
        // U+10080: its low half reads as the kept byte 80 would.
        QTest::newRow("four bytes, low half DC80") << QByteArray("\xf0\x90\x82\x80") << true;
        QTest::newRow("Big5") << QByteArray("/home/\xa4\xa4\xa4\xe5") << false;
        QTest::newRow("lone continuation") << QByteArray("\x80"
                                                         "a")
                                           << false;
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("overlong, three bytes") << QByteArray("\xe0\x9f\xbf") << false;
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("cut short") << QByteArray("a\xe4\xb8") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    }
    void fileNamesKeepTheirBytes() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8);
        const QString name = decodeFileName(bytes);
        QCOMPARE(encodeFileName(name), bytes);
        QCOMPARE(name == QString::fromUtf8(bytes), utf8);
        QCOMPARE(displayFileName(name).contains(QChar::ReplacementCharacter), !utf8);
    }
};

QTEST_GUILESS_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
