#include "platform/IniSettingsStore.h"

#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <utility>

namespace {

// Saves run on the GUI thread, and another copy holds the lock for the few
// milliseconds of one save: a short wait, with frequent tries so that a free
// moment between that copy's saves is not slept through.
constexpr std::chrono::milliseconds LockWait{200};
constexpr unsigned long LockRetryMs = 5;

QString statusReason(QSettings::Status status) {
    return status == QSettings::FormatError ? QStringLiteral("設定檔的格式無法讀取。")
                                            : QStringLiteral("無法存取設定檔。");
}

void checkStatus(const QSettings& settings) {
    if (settings.status() != QSettings::NoError)
        throw RuntimeError::fileAccess(settings.fileName(), statusReason(settings.status()));
}

// QSettings would block for ever opening a FIFO, and has no business with a
// device or a directory; a link to a regular file is fine.
void requireRegularFile(const QString& fileName) {
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        throw RuntimeError::fileAccess(fileName, QStringLiteral("設定檔不是一般檔案。"));
}

RuntimeError wouldChangeOtherLines(const QString& fileName) {
    return RuntimeError::fileAccess(
        fileName, QStringLiteral("設定檔中有存檔時無法原樣保留的內容，因此不予改寫。"));
}

// An INI text reduced to what carries meaning: each section's header with its
// lines, in order of name, blanks around "=" and at line ends dropped.
// QSettings writes sections and keys sorted, and keys ahead of any header
// under [General]; it ends a line at CR or LF.
QMap<QString, QStringList> sectionLines(const QString& text) {
    static const QRegularExpression lineEnd(QStringLiteral("[\\r\\n]"));
    QMap<QString, QStringList> sections;
    QString header = QStringLiteral("[General]");
    for (const QString& raw : text.split(lineEnd, Qt::SkipEmptyParts)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'[')) {
            header = line;
            sections[header];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        sections[header].append(equals < 0 ? line
                                           : line.left(equals).trimmed() + u'=' +
                                                 line.mid(equals + 1).trimmed());
    }
    for (QStringList& lines : sections)
        lines.sort();
    return sections;
}

// The sections as QSettings rewrites the file with nothing else changed. The
// rewrite is forced by saving a probe key on a copy of the bytes; its line is
// then left out, and its section too when the file had none of that name. One
// save rather than a save and a removal, since each costs a flush to disk.
QMap<QString, QStringList> sectionsAfterRewrite(const QString& fileName, const QByteArray& bytes) {
    const QTemporaryDir dir;
    const QString copyName = dir.filePath(QStringLiteral("copy.ini"));
    QFile copy(copyName);
    if (!dir.isValid() || !copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size())
        throw RuntimeError::fileAccess(fileName, QStringLiteral("無法檢查設定檔。"));
    copy.close();
    {
        QSettings settings(copyName, QSettings::IniFormat);
        settings.setValue(QStringLiteral("OrvenlaProbe/Unused"), true);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            throw wouldChangeOtherLines(fileName);
    }
    if (!copy.open(QIODevice::ReadOnly))
        throw RuntimeError::fileAccess(fileName, QStringLiteral("無法檢查設定檔。"));
    QMap<QString, QStringList> sections = sectionLines(QString::fromUtf8(copy.readAll()));
    const auto probe = sections.find(QStringLiteral("[OrvenlaProbe]"));
    if (probe != sections.end() && probe->removeOne(QStringLiteral("Unused=true")) &&
        probe->isEmpty())
        sections.erase(probe);
    return sections;
}

// QSettings rewrites the whole file on every save and drops or alters what it
// cannot hold: comments, duplicate keys, lines without "=", bytes that are not
// UTF-8, names it escapes differently. A save goes ahead only when its rewrite
// of the file as it stands keeps every line. The file as this store's last
// save left it is QSettings' own writing, which needs no rewrite to check: a
// font choice saves seven keys, and only the first pays for the check.
void requireRewriteKeepsFile(const QString& fileName, const QByteArray& bytes,
                             const QByteArray& lastSaved) {
    if (bytes.isNull() || (!lastSaved.isNull() && bytes == lastSaved))
        return;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        throw wouldChangeOtherLines(fileName);
    if (sectionLines(text) != sectionsAfterRewrite(fileName, bytes))
        throw wouldChangeOtherLines(fileName);
}

// The file's bytes; null when there is no file.
QByteArray readFileBytes(const QString& fileName) {
    if (!QFileInfo::exists(fileName))
        return {};
    QFile file;
    openRegularFile(file, fileName);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError::fileAccess(fileName, file.errorString());
    return bytes.isNull() ? QByteArray("") : bytes;
}

// The bytes QSettings writes for `bytes` with the values set, made on a copy.
QByteArray withValues(const QString& fileName, const QByteArray& bytes,
                      const QList<std::pair<QString, QString>>& values) {
    const QTemporaryDir dir;
    const QString copyName = dir.filePath(QStringLiteral("copy.ini"));
    QFile copy(copyName);
    if (!dir.isValid() || !copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() ||
        !copy.flush())
        throw RuntimeError::fileAccess(fileName, QStringLiteral("無法準備設定檔的新內容。"));
    copy.close();
    {
        QSettings settings(copyName, QSettings::IniFormat);
        for (const auto& [key, value] : values)
            settings.setValue(key, value);
        settings.sync();
        checkStatus(settings);
    }
    if (!copy.open(QIODevice::ReadOnly))
        throw RuntimeError::fileAccess(fileName, QStringLiteral("無法準備設定檔的新內容。"));
    return copy.readAll();
}

// Whether the lock names a process that still runs: another copy in the middle
// of its own save. A lock of another machine (a shared home folder) cannot be
// checked and is taken for one.
bool heldByRunningProcess(const QLockFile& lock) {
    qint64 pid = 0;
    QString host;
    QString application;
    if (!lock.getLockInfo(&pid, &host, &application) || pid <= 0)
        return false;
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Whether the lock is another copy's this very moment: a file it has made and
// not yet written, or one it has just removed. QLockFile removes an empty file
// itself once it is older than its stale time.
bool lockInPassing(const QString& lockName) {
    const QFileInfo info(lockName);
    return !info.exists() || (info.isFile() && !info.isSymLink() && info.size() == 0);
}

// A lock held by a running copy costs this one save, as any passing failure.
// A lock nobody holds that cannot be taken (a folder by its name, a stale file
// that cannot be removed, a folder where it cannot be made) stops every save
// until the user clears it, so it is an error of its own.
void takeLock(QLockFile& lock, const QString& fileName) {
    const QString lockName = fileName + QStringLiteral(".lock");
    const QDeadlineTimer deadline(LockWait);
    while (!lock.tryLock(0)) {
        switch (lock.error()) {
        case QLockFile::LockFailedError:
            if (!deadline.hasExpired()) {
                QThread::msleep(LockRetryMs);
                continue;
            }
            if (heldByRunningProcess(lock) || lockInPassing(lockName))
                throw RuntimeError::fileAccess(fileName,
                                               QStringLiteral("設定檔正被另一個程式鎖住。"));
            throw RuntimeError::permissionDenied(
                lockName,
                QStringLiteral("這個鎖定檔無法取得，也無法移除；刪除它之後才能保存設定。"));
        case QLockFile::PermissionError:
            throw RuntimeError::permissionDenied(
                lockName, QStringLiteral("設定檔的資料夾不允許建立這個鎖定檔，因此無法保存設定。"));
        default:
            throw RuntimeError::fileAccess(fileName, QStringLiteral("無法鎖定設定檔。"));
        }
    }
}

QString keyPath(const QString& application, const QString& section, const QString& key) {
    return IniSettingsStore::groupName(application) + u'/' + section + u'/' + key;
}

} // namespace

// Where QSettings keeps the user's INI file for this organisation and program,
// found without making a QSettings for it: that would open the file, and its
// fallbacks, before anything has checked that they are regular files. A
// relative XDG_CONFIG_HOME, which Qt takes as it stands (below whatever folder
// the reader was started from), is ignored as the XDG rules ask.
IniSettingsStore::IniSettingsStore() {
    const QString xdg = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    const QString base =
        !xdg.isEmpty() && QDir::isRelativePath(xdg)
            ? QDir::homePath() + QStringLiteral("/.config")
            : QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    m_fileName = base + QStringLiteral("/Orvenla/orvenla.ini");
}

IniSettingsStore::IniSettingsStore(QString fileName) : m_fileName(std::move(fileName)) {}

QString IniSettingsStore::groupName(const QString& application) {
    // Hashing the UTF-16 code units keeps even ill-formed names apart; 128 bits
    // are plenty for the handful of paths one user has.
    QByteArray units;
    units.reserve(application.size() * 2);
    for (QChar c : application) {
        const quint16 le = qToLittleEndian(c.unicode());
        units.append(reinterpret_cast<const char*>(&le), 2);
    }
    const QByteArray hash = QCryptographicHash::hash(units, QCryptographicHash::Sha256);
    return QString::fromLatin1(hash.left(16).toHex());
}

QString IniSettingsStore::readSetting(const QString& application, const QString& section,
                                      const QString& key, const QString& defaultText) {
    requireRegularFile(m_fileName);
    const QSettings settings(m_fileName, QSettings::IniFormat);
    checkStatus(settings);
    const QString path = keyPath(application, section, key);
    if (!settings.contains(path))
        return defaultText;
    const QVariant value = settings.value(path);
    // An unquoted comma in a hand-edited file makes QSettings split the text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    if (!value.canConvert<QString>())
        throw RuntimeError::typeMismatch();
    return value.toString();
}

void IniSettingsStore::writeSetting(const QString& application, const QString& section,
                                    const QString& key, const QString& value) {
    requireRegularFile(m_fileName);
    const QFileInfo info(m_fileName);
    if (info.exists() && !info.isWritable())
        throw RuntimeError::fileAccess(m_fileName, QStringLiteral("設定檔是唯讀的。"));
    if (!QDir().mkpath(info.path()))
        throw RuntimeError::fileAccess(m_fileName, QStringLiteral("無法建立設定檔的資料夾。"));
    // One save at a time among running copies, from reading the file to
    // replacing it, under the lock QSettings itself takes: no copy's value is
    // lost to another's. QSettings alone rereads the file only when its size or
    // time changed, which a save of the same length within one clock tick does not.
    QLockFile lock(m_fileName + QStringLiteral(".lock"));
    takeLock(lock, m_fileName);
    const QByteArray before = readFileBytes(m_fileName);
    requireRewriteKeepsFile(m_fileName, before, m_lastSaved);
    const QByteArray after =
        withValues(m_fileName, before,
                   {{groupName(application) + QStringLiteral("/Application"), application},
                    {keyPath(application, section, key), value}});
    replaceFileContents(m_fileName, after);
    m_lastSaved = after;
}
