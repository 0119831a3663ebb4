#pragma once

#include <QString>

// The per-user settings store: text values filed by application name, section
// and key. The application name is opaque: names that differ in any character
// never share values. Section and key are plain words.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The stored text, or defaultText when the application, the section or the
    // key is absent. Never creates anything. Throws RuntimeError when the store
    // cannot be read.
    virtual QString readSetting(const QString& application, const QString& section,
                                const QString& key, const QString& defaultText) = 0;
    // Stores the text, replacing any earlier value and keeping every other one.
    // Throws RuntimeError when the store cannot be written.
    virtual void writeSetting(const QString& application, const QString& section,
                              const QString& key, const QString& value) = 0;
};
