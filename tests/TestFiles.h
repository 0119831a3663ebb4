#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

// A throw-away program directory with helpers to lay files in it.
class ProgramDirFixture {
public:
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    void write(const QString& name, const QByteArray& bytes) const {
        QFile file(filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write test file");
        file.write(bytes);
    }

    QByteArray read(const QString& name) const {
        QFile file(filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return file.readAll();
    }

    bool exists(const QString& name) const { return QFile::exists(filePath(name)); }

private:
    QTemporaryDir m_dir;
};

// Saves `bytes` to `path` as editors that write a new file and rename it over
// the old one do.
inline bool saveByRename(const QString& path, const QByteArray& bytes) {
    QFile file(path + u'~');
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    file.close();
    return std::rename(QFile::encodeName(path + u'~').constData(),
                       QFile::encodeName(path).constData()) == 0;
}
