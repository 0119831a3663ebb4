#include "platform/FileWatch.h"

#include <QFileInfo>

FileWatch::FileWatch(QString path, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_watcher(this) {
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FileWatch::report);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileWatch::report);
    watchCurrentTarget();
}

void FileWatch::watchCurrentTarget() {
    const QFileInfo file(m_path);
    QStringList wanted{file.absolutePath()};
    if (file.exists())
        wanted << m_path;
    if (file.isSymLink()) {
        const QFileInfo target(file.symLinkTarget());
        wanted << target.absolutePath();
    }
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString& path : wanted) {
        // Adding a path twice only warns; one that cannot be watched is left.
        if (!watched.contains(path))
            m_watcher.addPath(path);
    }
}

void FileWatch::report() {
    watchCurrentTarget();
    Q_EMIT changed();
}
