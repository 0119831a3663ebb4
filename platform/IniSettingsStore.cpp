#include "platform/IniSettingsStore.h"

#include "platform/RuntimeError.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QStringList>
#include <QtEndian>

#include <utility>

namespace {

QString statusReason(QSettings::Status status) {
    return status == QSettings::FormatError ? QStringLiteral("設定檔的格式無法讀取。")
                                            : QStringLiteral("無法存取設定檔。");
}

void checkStatus(const QSettings& settings) {
    if (settings.status() != QSettings::NoError)
        throw RuntimeError::fileAccess(settings.fileName(), statusReason(settings.status()));
}

QString keyPath(const QString& application, const QString& section, const QString& key) {
    return IniSettingsStore::groupName(application) + u'/' + section + u'/' + key;
}

} // namespace

IniSettingsStore::IniSettingsStore()
    : m_fileName(QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orvenla"),
                           QStringLiteral("orvenla"))
                     .fileName()) {}

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

QString IniSettingsStore::ReadSetting(const QString& application, const QString& section,
                                      const QString& key, const QString& defaultText) {
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

void IniSettingsStore::WriteSetting(const QString& application, const QString& section,
                                    const QString& key, const QString& value) {
    QSettings settings(m_fileName, QSettings::IniFormat);
    // Saving over a file that QSettings could not parse would drop its contents.
    checkStatus(settings);
    settings.setValue(groupName(application) + QStringLiteral("/Application"), application);
    settings.setValue(keyPath(application, section, key), value);
    settings.sync();
    checkStatus(settings);
}
