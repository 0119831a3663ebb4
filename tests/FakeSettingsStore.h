#pragma once

#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"

#include <QMap>
#include <QStringList>

#include <new>
#include <optional>

// A settings store in memory that records every write and can be told to
// fail on one key, or on every write.
class FakeSettingsStore final : public SettingsStore {
public:
    QString readSetting(const QString& application, const QString& section, const QString& key,
                        const QString& defaultText) override {
        if (key == failingKey)
            throw RuntimeError::fileAccess(QStringLiteral("settings"), QStringLiteral("fake"));
        if (outOfMemory)
            throw std::bad_alloc();
        return values.value(path(application, section, key), defaultText);
    }
    void writeSetting(const QString& application, const QString& section, const QString& key,
                      const QString& value) override {
        if (key == failingKey)
            throw RuntimeError::fileAccess(QStringLiteral("settings"), QStringLiteral("fake"));
        if (writeFailure)
            throw *writeFailure;
        writes << key + QLatin1Char('=') + value;
        values.insert(path(application, section, key), value);
    }

    static QString path(const QString& application, const QString& section, const QString& key) {
        return application + QLatin1Char('|') + section + QLatin1Char('|') + key;
    }

    QMap<QString, QString> values;
    QStringList writes;
    QString failingKey;
    // Thrown by every write when set.
    std::optional<RuntimeError> writeFailure;
    bool outOfMemory = false;
};
