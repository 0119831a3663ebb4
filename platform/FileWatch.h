#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

// Tells when a file may have changed, however an editor saves it: written in
// place, truncated and written again, replaced by a rename, deleted and made
// anew, or, for a link, pointed elsewhere. A watch on the file alone is lost
// when a rename replaces it, so the folders are watched too: the file's own
// and, for a link, its target's. Spurious reports are expected (any file in
// those folders); the receiver compares the file's stamp.
class FileWatch : public QObject {
    Q_OBJECT

public:
    explicit FileWatch(QString path, QObject* parent = nullptr);

Q_SIGNALS:
    void changed();

private:
    // Watches whatever the path leads to now; a new target after each save.
    void watchCurrentTarget();
    void report();

    QString m_path;
    QFileSystemWatcher m_watcher;
};
