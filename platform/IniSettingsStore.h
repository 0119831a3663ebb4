#pragma once

#include "platform/SettingsStore.h"

#include <QByteArray>

// The settings store as one INI file. Each application name gets its own group,
// named by a hash of the exact name, since QSettings would fold or nest names
// that differ only in their slashes; the name itself is kept in the group as
// "Application" so the file stays readable. Every call opens the file afresh,
// so several running copies see each other's writes, and QSettings' lock and
// atomic save keep their writes from overwriting one another. A write waits at
// most about 0.2 s for the lock; a lock that nobody holds but that cannot be
// taken is PermissionDenied, naming the lock file. A write refuses,
// leaving the file untouched, when QSettings' rewrite would drop or alter any
// line the user keeps in it; the file must be a regular file or a link to one.
class IniSettingsStore final : public SettingsStore {
public:
    // The user's file: Orvenla/orvenla.ini in the configuration directory.
    IniSettingsStore();
    explicit IniSettingsStore(QString fileName);

    const QString& fileName() const { return m_fileName; }

    QString readSetting(const QString& application, const QString& section, const QString& key,
                        const QString& defaultText) override;
    void writeSetting(const QString& application, const QString& section, const QString& key,
                      const QString& value) override;

    // The group that holds one application's settings.
    static QString groupName(const QString& application);

private:
    QString m_fileName;
    // The file's bytes as this store's last save left them; null before one.
    QByteArray m_lastSaved;
};
