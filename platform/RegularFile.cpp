#include "platform/RegularFile.h"

#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
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
int openNonBlocking(const QString& path, int flags) {
    const QByteArray name = QFile::encodeName(path);
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
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    Descriptor fd(openNonBlocking(path, O_RDONLY));
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
void rewriteInPlace(const QString& path, const QByteArray& bytes,
                    const std::function<void(SaveStep)>& afterStep) {
    Descriptor fd(openNonBlocking(path, O_WRONLY));
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

} // namespace

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

void replaceFileContents(const QString& path, const QByteArray& bytes,
                         const std::function<void(SaveStep)>& afterStep) {
    // The file a link names is replaced, not the link.
    const QFileInfo link(path);
    const QString target = link.isSymLink() && link.exists() ? link.canonicalFilePath() : path;
    struct stat info {};
    const bool existed = ::stat(QFile::encodeName(target).constData(), &info) == 0;
    if (existed && !S_ISREG(info.st_mode))
        throw accessError(path, EINVAL);
    if (!existed && errno != ENOENT)
        throw accessError(path, errno);

    const QFileInfo targetInfo(target);
    QByteArray temporaryName = QFile::encodeName(
        QDir(targetInfo.path())
            .filePath(QLatin1Char('.') + targetInfo.fileName() + QStringLiteral(".XXXXXX")));
    Descriptor temporary(::mkostemp(temporaryName.data(), O_CLOEXEC));
    if (temporary.get() < 0) {
        const int error = errno;
        if (existed && (error == EACCES || error == EPERM)) {
            rewriteInPlace(target, bytes, afterStep);
            return;
        }
        throw writeError(path, error);
    }
    step(afterStep, SaveStep::TemporaryCreated);
    // Until the rename, a failure removes the temporary file and leaves the old
    // one as it was.
    const auto fail = [&](int error) {
        if (temporary.get() >= 0)
            temporary.close();
        ::unlink(temporaryName.constData());
        return writeError(path, error);
    };
    mode_t mode = info.st_mode & 07777;
    if (!existed) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temporary.get(), mode) != 0 ||
        !writeAll(temporary.get(), bytes.constData(), bytes.size(), 0))
        throw fail(errno);
    step(afterStep, SaveStep::TemporaryWritten);
    if (::fsync(temporary.get()) != 0)
        throw fail(errno);
    if (const int error = temporary.close())
        throw fail(error);
    step(afterStep, SaveStep::TemporarySynced);
    if (::rename(temporaryName.constData(), QFile::encodeName(target).constData()) != 0)
        throw fail(errno);
    step(afterStep, SaveStep::Renamed);
    // The rename itself reaches the disk with the directory.
    Descriptor directory(openNonBlocking(targetInfo.path(), O_RDONLY | O_DIRECTORY));
    if (directory.get() >= 0)
        ::fsync(directory.get());
}
