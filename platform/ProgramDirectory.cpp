#include "platform/ProgramDirectory.h"

#include "platform/FileNames.h"
#include "platform/RuntimeError.h"

#include <QByteArray>

#include <unistd.h>

namespace {

const char ExecutableLink[] = "/proc/self/exe";

// The link's target as bytes, or empty.
QByteArray executablePath() {
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink(ExecutableLink, target.data(), size_t(target.size()));
        if (length < 0)
            return {};
        if (length < target.size()) {
            target.truncate(length);
            return target;
        }
        target.resize(target.size() * 2);
    }
}

} // namespace

QString ProgramDirectory::filePath(const QString& fileName) const {
    const QString directory = path();
    if (directory.isEmpty())
        throw RuntimeError::fileAccess(QString::fromLatin1(ExecutableLink),
                                       QStringLiteral("找不到程式所在的資料夾。"));
    return directory.endsWith(u'/') ? directory + fileName : directory + u'/' + fileName;
}

ApplicationDirectory::ApplicationDirectory() {
    // Read as bytes: Qt's own answer names a folder that is not UTF-8 wrongly,
    // or not at all.
    const QByteArray executable = executablePath();
    const qsizetype slash = executable.lastIndexOf('/');
    if (executable.startsWith('/'))
        m_path = decodeFileName(slash == 0 ? QByteArray("/") : executable.left(slash));
}
