// Saves a bookmark in a process of its own, under conditions that cannot be
// set up in the test process: a file-size limit, another user, a kill at one
// step of the save, or a tiny file system that is full. Prints the number of
// the error met, or "saved". Run by tst_filesafety.
//
//   save_child PATH ARTICLE [--fsize BYTES] [--user UID] [--kill-after STEP]
//              [--full-disk OLD] [--no-inodes OLD]
//
// With --full-disk the program directory becomes a full 64 KiB file system
// holding OLD as the bookmark, with --no-inodes one with room but no free
// inode (either needs a mount namespace), or no bookmark at all for an OLD of
// "-"; the bookmark is printed after the result, since nobody else can see
// that file system.

#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "store/BookmarkFile.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Makes `dir` a small file system of its own holding a bookmark with `old`,
// then uses up its blocks or its inodes.
bool makeFullDisk(const QString& dir, const QByteArray& old, bool inodes) {
    if (::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    const QByteArray name = QFile::encodeName(dir);
    if (::mount("orvenla-test", name.constData(), "tmpfs", 0,
                inodes ? "size=1m,nr_inodes=16" : "size=64k") != 0)
        return false;
    QFile bookmark(dir + QStringLiteral("/MyPage.txt"));
    if (old != "-" && (!bookmark.open(QIODevice::WriteOnly) || bookmark.write(old) != old.size()))
        return false;
    bookmark.close();
    if (inodes) {
        for (int i = 0;; ++i) {
            const int fd = ::open((name + "/f" + QByteArray::number(i)).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL, 0600);
            if (fd < 0)
                return errno == ENOSPC;
            ::close(fd);
        }
    }
    const int filler = ::open((name + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
    const QByteArray page(4096, 'x');
    while (::write(filler, page.constData(), size_t(page.size())) > 0) {
    }
    while (::write(filler, page.constData(), 1) > 0) {
    }
    ::close(filler);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const auto article = qint16(std::atoi(argv[2]));
    int killAfter = -1;
    bool fullDisk = false;
    for (int i = 3; i + 1 < argc; i += 2) {
        const char* option = argv[i];
        const char* value = argv[i + 1];
        if (std::strcmp(option, "--fsize") == 0) {
            // Past the limit a write fails with EFBIG instead of killing us.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(std::atoll(value)), rlim_t(std::atoll(value))};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 2;
        } else if (std::strcmp(option, "--user") == 0) {
            const auto id = uid_t(std::atoi(value));
            if (::setgid(gid_t(id)) != 0 || ::setuid(id) != 0)
                return 2;
        } else if (std::strcmp(option, "--kill-after") == 0) {
            killAfter = std::atoi(value);
        } else if (std::strcmp(option, "--full-disk") == 0 ||
                   std::strcmp(option, "--no-inodes") == 0) {
            if (!makeFullDisk(QFileInfo(path).path(), QByteArray(value),
                              std::strcmp(option, "--no-inodes") == 0))
                return 3; // no mount namespace here: the caller skips
            fullDisk = true;
        }
    }
    const auto stopAt = [killAfter](SaveStep step) {
        if (int(step) == killAfter)
            ::raise(SIGKILL);
    };
    try {
        writeBookmarkFile(path, article, stopAt);
        std::fputs("saved", stdout);
    } catch (const RuntimeError& error) {
        std::printf("%d", error.number());
    }
    if (fullDisk) {
        QFile bookmark(path);
        if (bookmark.open(QIODevice::ReadOnly))
            std::printf("\n%s", bookmark.readAll().toHex().constData());
    }
    return 0;
}
