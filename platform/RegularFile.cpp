#include "platform/RegularFile.h"

#include "platform/FileNames.h"
#include "platform/RuntimeError.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

QString notRegularReason() {
    return QStringLiteral("這不是一般檔案（可能是管線、裝置或資料夾）。");
}

// Closes a descriptor when it goes out of scope, unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    // Closes now, reporting the error that close() met (a delayed write error).
    int close() {
        const int result = ::close(release());
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// Opens without ever blocking on a FIFO; the caller checks what it got.
int openNonBlocking(const QByteArray& name, int flags) {
    int fd;
    do {
        fd = ::open(name.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// A regular file opened for reading, or -1 with errno set (EINVAL for a file
// of another kind).
int openRegularForReading(const QString& path) {
    // A device is not even opened: opening some has effects of its own.
    const QByteArray name = encodeFileName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    Descriptor fd(openNonBlocking(name, O_RDONLY));
    if (fd.get() < 0)
        return -1;
    // Checked again on what was opened: the name may have changed meanwhile.
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return -1;
    return fd.release();
}

RuntimeError accessError(const QString& path, int error) {
    return RuntimeError::fileAccess(path,
                                    error == EINVAL ? notRegularReason() : qt_error_string(error));
}

RuntimeError writeError(const QString& path, int error) {
    if (error == ENOSPC || error == EDQUOT)
        return RuntimeError::diskFull(path);
    return accessError(path, error);
}

bool writeAll(int fd, const char* data, qsizetype size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size_t(size), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
        offset += written;
    }
    return true;
}

void step(const std::function<void(SaveStep)>& afterStep, SaveStep done) {
    if (afterStep)
        afterStep(done);
}

// The file's directory refuses new files, but the file itself may be written.
void rewriteInPlace(const QString& path, const QByteArray& target, const QByteArray& bytes,
                    const std::function<void(SaveStep)>& afterStep) {
    Descriptor fd(openNonBlocking(target, O_WRONLY));
    if (fd.get() < 0)
        throw writeError(path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw writeError(path, errno);
    if (!S_ISREG(info.st_mode))
        throw accessError(path, EINVAL);
    step(afterStep, SaveStep::InPlaceOpened);
    // Grow the file first, with CRs: however much of that lands, the old first
    // line still reads as it did, and the new bytes then fit without growing
    // the file, so a size limit or a full disk cannot cut them short.
    const off_t oldSize = info.st_size;
    if (oldSize < bytes.size()) {
        const QByteArray lineEnds(bytes.size() - oldSize, '\r');
        if (!writeAll(fd.get(), lineEnds.constData(), lineEnds.size(), oldSize)) {
            const int error = errno;
            // Back to the old length; what stays (CRs) is harmless if this fails.
            if (::ftruncate(fd.get(), oldSize) != 0) {
            }
            throw writeError(path, error);
        }
        step(afterStep, SaveStep::InPlaceExtended);
    }
    // One write within the first page, which a signal cannot split.
    if (!writeAll(fd.get(), bytes.constData(), bytes.size(), 0))
        throw writeError(path, errno);
    step(afterStep, SaveStep::InPlaceWritten);
    if (::ftruncate(fd.get(), off_t(bytes.size())) != 0 || ::fsync(fd.get()) != 0)
        throw writeError(path, errno);
    step(afterStep, SaveStep::InPlaceCut);
    if (const int error = fd.close())
        throw writeError(path, error);
}

// The file a save replaces, links followed, with its folder and its name.
struct SaveTarget {
    explicit SaveTarget(const QByteArray& path) : name(path) {
        struct stat info {};
        // The file a link names is replaced, not the link; a dangling link is.
        if (::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            char resolved[PATH_MAX];
            if (::realpath(path.constData(), resolved) != nullptr)
                name = resolved;
        }
        const qsizetype slash = name.lastIndexOf('/');
        directory = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
        fileName = name.mid(slash + 1);
    }

    QByteArray name;
    QByteArray directory;
    QByteArray fileName;
};

// What mkostemp() makes of ".NAME.XXXXXX".
bool isTemporaryName(const QByteArray& name, const QByteArray& prefix) {
    constexpr qsizetype RandomPart = 6;
    if (name.size() != prefix.size() + RandomPart || !name.startsWith(prefix))
        return false;
    for (const char c : name.mid(prefix.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    }
    return true;
}

// A folder that is append-only or immutable keeps every name made in it: a
// temporary file could be neither renamed over the file nor removed.
bool keepsEveryName(int directory) {
    int flags = 0;
    return directory >= 0 && ::ioctl(directory, FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// Writes the bytes to a temporary file beside the target and renames it over
// the target. Returns 0, or the errno that stopped it with the temporary file
// removed and the target untouched.
int replaceBeside(const SaveTarget& target, int directory, const QByteArray& bytes,
                  const struct stat* old, const std::function<void(SaveStep)>& afterStep) {
    if (keepsEveryName(directory))
        return EPERM;
    QByteArray temporaryName = target.directory + "/." + target.fileName + ".XXXXXX";
    Descriptor temporary(::mkostemp(temporaryName.data(), O_CLOEXEC));
    if (temporary.get() < 0)
        return errno;
    // Locked until this save ends, so that a start-up's clean-up of stale
    // temporary files leaves this one alone.
    const Descriptor lock(::dup(temporary.get()));
    if (lock.get() >= 0)
        ::flock(lock.get(), LOCK_EX | LOCK_NB);
    step(afterStep, SaveStep::TemporaryCreated);
    const auto fail = [&](int error) {
        if (temporary.get() >= 0)
            temporary.close();
        ::unlink(temporaryName.constData());
        return error;
    };
    mode_t mode = 0;
    if (old != nullptr) {
        mode = old->st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temporary.get(), mode) != 0 ||
        !writeAll(temporary.get(), bytes.constData(), bytes.size(), 0))
        return fail(errno);
    step(afterStep, SaveStep::TemporaryWritten);
    if (::fsync(temporary.get()) != 0)
        return fail(errno);
    if (const int error = temporary.close())
        return fail(error);
    step(afterStep, SaveStep::TemporarySynced);
    if (::rename(temporaryName.constData(), target.name.constData()) != 0)
        return fail(errno);
    step(afterStep, SaveStep::Renamed);
    // The rename itself reaches the disk with the folder.
    if (directory >= 0)
        ::fsync(directory);
    return 0;
}

FileStamp stampOf(const struct stat& info) {
    const auto nanoseconds = [](const timespec& time) {
        return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return FileStamp{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                     nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

} // namespace

std::optional<FileStamp> fileStamp(const QString& path) {
    struct stat info {};
    if (::stat(encodeFileName(path).constData(), &info) != 0)
        return std::nullopt;
    return stampOf(info);
}

std::optional<FileStamp> fileStamp(const QFile& file) {
    struct stat info {};
    if (file.handle() < 0 || ::fstat(file.handle(), &info) != 0)
        return std::nullopt;
    return stampOf(info);
}

bool tryOpenRegularFile(QFile& file, const QString& path) {
    const int fd = openRegularForReading(path);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

void openRegularFile(QFile& file, const QString& path) {
    const int fd = openRegularForReading(path);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw RuntimeError::fileNotFound(path);
        throw accessError(path, errno);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw RuntimeError::fileAccess(path, file.errorString());
    }
}

bool readFileAt(const QFile& file, qint64 offset, char* into, qint64 size) {
    while (size > 0) {
        const ssize_t got = ::pread(file.handle(), into, size_t(size), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        offset += got;
        size -= got;
    }
    return true;
}

QByteArray readRegularFileStart(const QString& path, qint64 maxBytes) {
    QFile file;
    openRegularFile(file, path);
    QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError::fileAccess(path, file.errorString());
    return bytes;
}

void replaceFileContents(const QString& path, const QByteArray& bytes,
                         const std::function<void(SaveStep)>& afterStep) {
    const SaveTarget target(encodeFileName(path));
    struct stat info {};
    const bool existed = ::stat(target.name.constData(), &info) == 0;
    if (existed && !S_ISREG(info.st_mode))
        throw accessError(path, EINVAL);
    if (!existed && errno != ENOENT)
        throw accessError(path, errno);

    Descriptor directory(openNonBlocking(target.directory, O_RDONLY | O_DIRECTORY));
    const int besideError =
        replaceBeside(target, directory.get(), bytes, existed ? &info : nullptr, afterStep);
    if (besideError == 0)
        return;
    // Whatever kept the folder from taking the new file, the file itself may
    // still take the new bytes.
    if (!existed)
        throw writeError(path, besideError);
    rewriteInPlace(path, target.name, bytes, afterStep);
}

void removeStaleTemporaryFiles(const QString& path) {
    const SaveTarget target(encodeFileName(path));
    Descriptor directory(openNonBlocking(target.directory, O_RDONLY | O_DIRECTORY));
    if (directory.get() < 0)
        return;
    DIR* entries = ::fdopendir(directory.get());
    if (entries == nullptr)
        return;
    directory.release();
    const QByteArray prefix = '.' + target.fileName + '.';
    while (const dirent* entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        if (!isTemporaryName(name, prefix))
            continue;
        // Only a regular file of this user's that no save holds.
        Descriptor file(::openat(::dirfd(entries), entry->d_name,
                                 O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
        struct stat info {};
        if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        ::unlinkat(::dirfd(entries), entry->d_name, 0);
    }
    ::closedir(entries);
}
