#include "platform/FileWatch.h"

#include <QDebug>
#include <QFileInfo>

#include <iterator>

namespace {

constexpr std::chrono::milliseconds PollInterval{1000};

// Which file or folder a path leads to now; zeros when it leads nowhere.
std::pair<quint64, quint64> identityOf(const QString& path) {
    const std::optional<FileStamp> stamp = fileStamp(path);
    return stamp ? std::pair(stamp->device, stamp->inode) : std::pair<quint64, quint64>();
}

} // namespace

FileWatch::FileWatch(QString path, QObject* parent)
    : FileWatch(std::move(path), {}, PollInterval, parent) {}

FileWatch::FileWatch(QString path, WatchGate gate, std::chrono::milliseconds pollInterval,
                     QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_gate(std::move(gate)), m_watcher(this),
      m_poll(this) {
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FileWatch::report);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileWatch::report);
    m_poll.setInterval(pollInterval);
    connect(&m_poll, &QTimer::timeout, this, &FileWatch::poll);
    watchCurrentTarget();
}

QStringList FileWatch::watchedPaths() const {
    return m_watcher.files() + m_watcher.directories();
}

bool FileWatch::addWatch(const QString& path) {
    // A path that is not there cannot be watched; asking would only warn.
    if (!QFileInfo::exists(path) || (m_gate && !m_gate(path)))
        return false;
    // Taken first: a path replaced meanwhile is found out, and watched again,
    // at the next report.
    const std::pair<quint64, quint64> identity = identityOf(path);
    if (!m_watcher.addPath(path))
        return false;
    m_watchedAs.insert(path, identity);
    return true;
}

void FileWatch::watchCurrentTarget() {
    const QFileInfo file(m_path);
    QStringList wanted{file.absolutePath()};
    if (file.exists())
        wanted << m_path;
    if (file.isSymLink()) {
        // The file at the end of the links when there is one, else what the
        // link names, so that its making is seen.
        const QString canonical = file.canonicalFilePath();
        const QFileInfo target(canonical.isEmpty() ? file.symLinkTarget() : canonical);
        // A folder's own watch does not tell when it is renamed, so the one
        // that holds it is watched too: a swap of the target's folder is seen.
        const QString folder = target.absolutePath();
        for (const QString& path : {folder, QFileInfo(folder).absolutePath()}) {
            if (!wanted.contains(path))
                wanted << path;
        }
    }

    // Qt forgets a path whose watch the system took back (no longer there).
    const QStringList held = watchedPaths();
    for (auto it = m_watchedAs.begin(); it != m_watchedAs.end();)
        it = held.contains(it.key()) ? std::next(it) : m_watchedAs.erase(it);
    for (const QString& path : held) {
        if (!wanted.contains(path) || m_watchedAs.value(path) != identityOf(path)) {
            m_watcher.removePath(path);
            m_watchedAs.remove(path);
        }
    }

    bool all = true;
    const QStringList watched = watchedPaths();
    for (const QString& path : wanted) {
        if (!watched.contains(path) && !addWatch(path))
            all = false;
    }

    if (all) {
        m_poll.stop();
        m_lastStamp.reset();
    } else if (!m_poll.isActive()) {
        m_lastStamp = fileStamp(m_path);
        m_poll.start();
        if (!m_toldPolling) {
            m_toldPolling = true;
            qWarning().noquote() << "Orvenla: cannot watch everything" << m_path
                                 << "depends on; looking at it every" << m_poll.interval()
                                 << "ms instead.";
        }
    }
}

void FileWatch::report() {
    watchCurrentTarget();
    Q_EMIT changed();
}

// The watches are tried first, so that a change after the look below is one
// they see.
void FileWatch::poll() {
    const std::optional<FileStamp> before = m_lastStamp;
    watchCurrentTarget();
    const std::optional<FileStamp> now = fileStamp(m_path);
    if (m_poll.isActive())
        m_lastStamp = now;
    if (now != before)
        Q_EMIT changed();
}
