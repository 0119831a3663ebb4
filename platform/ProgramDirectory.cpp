#include "platform/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>

QString ProgramDirectory::filePath(const QString& fileName) const {
    return QDir(path()).filePath(fileName);
}

QString ApplicationDirectory::path() const {
    return QCoreApplication::applicationDirPath();
}
