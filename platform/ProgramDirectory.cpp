#include "platform/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramDirectory::filePath(const QString& fileName) const {
    return QDir(path()).filePath(fileName);
}

QString ApplicationDirectory::path() const {
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::applicationDirPath();
    // Qt answers only once the application exists, and reads the same link.
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return executable.isEmpty() ? QString() : QFileInfo(executable).path();
}
