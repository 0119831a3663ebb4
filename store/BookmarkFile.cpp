#include "store/BookmarkFile.h"

#include "platform/NarrowText.h"
#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"

#include <QFileInfo>
#include <QSaveFile>

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
    BookmarkReader reader(lines);
    readNarrowTextLines(path, reader);
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

void writeBookmarkFile(const QString& path, qint16 article) {
    const QFileInfo info(path);
    // The owner's write bit is what "read-only" means to the user, even for
    // root, whom the file system would let write anyway.
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner)))
        throw RuntimeError::fileAccess(path, QStringLiteral("檔案是唯讀的。"));
    QSaveFile file(path);
    // In a directory that takes no new files, a writable bookmark is still
    // written in place rather than not at all.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw RuntimeError::fileAccess(path, file.errorString());
    const QByteArray line = QByteArray::number(article) + "\r\n";
    if (file.write(line) != line.size() || !file.commit())
        throw RuntimeError::fileAccess(path, file.errorString());
}
