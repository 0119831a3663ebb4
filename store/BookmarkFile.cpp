#include "store/BookmarkFile.h"

#include "platform/FileNames.h"
#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"
#include "store/FileBytes.h"
#include "text/NarrowText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void checkIndex(int index) {
    if (index < 0 || index > BookmarkLines::LastSlot)
        throw RuntimeError::subscriptOutOfRange();
}

class BookmarkReader final : public LineSink {
public:
    explicit BookmarkReader(BookmarkLines& lines) : m_lines(lines) {}

    void restart() override {
        for (int i = 1; i <= m_count; ++i)
            m_lines(i).clear();
        m_count = 0;
    }

    void line(QStringView text) override {
        if (++m_count > BookmarkLines::LastSlot)
            throw RuntimeError::subscriptOutOfRange();
        m_lines(m_count) = text.toString();
    }

private:
    BookmarkLines& m_lines;
    int m_count = 0;
};

} // namespace

const QString& BookmarkLines::operator()(int index) const {
    checkIndex(index);
    return m_lines[size_t(index)];
}

QString& BookmarkLines::operator()(int index) {
    checkIndex(index);
    return m_lines[size_t(index)];
}

void readBookmarkFile(const QString& path, BookmarkLines& lines) {
    // Only the first line is ever used: a huge file costs no more to open than
    // a small one, and reads alike up to this size.
    constexpr qint64 ReadAtMost = qint64(64) << 10;
    const QByteArray start = readRegularFileStart(path, ReadAtMost);
    BytesSource bytes(start);
    BookmarkReader reader(lines);
    if (!decodeNarrowLines(bytes, reader, narrowCodecsFor(localeCodeset())))
        throwUnknownEncoding(path);
}

qint16 bookmarkedArticle(const QString& firstLine) {
    if (firstLine.isEmpty())
        return 1;
    try {
        const qint16 article = numbers::toInt16(firstLine);
        if (article >= ArticleSlots::FirstSlot && article <= ArticleSlots::LastSlot)
            return article;
    } catch (const RuntimeError&) {
    }
    return 1;
}

void writeBookmarkFile(const QString& path, qint16 article,
                       const std::function<void(SaveStep)>& afterStep) {
    const QByteArray name = encodeFileName(path);
    struct stat info {};
    // The owner's write bit is what "read-only" means to the user, even for
    // root, whom the file system would let write anyway.
    if (::stat(name.constData(), &info) == 0 &&
        (!(info.st_mode & S_IWUSR) ||
         ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0))
        throw RuntimeError::fileAccess(path, QStringLiteral("檔案是唯讀的。"));
    replaceFileContents(path, QByteArray::number(article) + "\r\n", afterStep);
}
