#include "appearance/ReadingLook.h"

#include "appearance/AppearanceText.h"
#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"

#include <QFontDatabase>
#include <QList>

namespace appearance {

namespace {

constexpr int SmallestZoom = 8;
constexpr int LargestZoom = 72;

QString read(const SavedAppearance& saved, QLatin1String key, const QString& defaultText) {
    return saved.store.readSetting(saved.application, ReadingSection, key, defaultText);
}

void write(const SavedAppearance& saved, QLatin1String key, const QString& text) {
    saved.store.writeSetting(saved.application, ReadingSection, key, text);
}

} // namespace

float zoomedSize(float points, int direction) {
    float next = points;
    for (const int size : QFontDatabase::standardSizes()) {
        if (size < SmallestZoom || size > LargestZoom)
            continue;
        if (direction > 0 && float(size) > points)
            return float(size);
        if (direction < 0 && float(size) < points)
            next = float(size);
    }
    return next;
}

bool savedVertical(const SavedAppearance& saved) {
    try {
        return boolFromText(read(saved, KeyVertical, boolText(false)));
    } catch (const RuntimeError&) {
        return false;
    }
}

void saveVertical(const SavedAppearance& saved, bool vertical) {
    write(saved, KeyVertical, boolText(vertical));
}

void Zoom::restore(const SavedAppearance& saved) {
    try {
        m_chosen = sizeFromText(read(saved, KeyChosenSize, sizeText(0)));
        m_zoomed = sizeFromText(read(saved, KeyZoomedSize, sizeText(0)));
    } catch (const RuntimeError&) {
        m_chosen = m_zoomed = 0;
    }
}

float Zoom::step(float current, int direction) {
    // A size the zoom did not set is the chooser's (or the first run's).
    if (current != m_zoomed || m_chosen <= 0)
        m_chosen = current;
    m_zoomed = direction == 0 ? m_chosen : zoomedSize(current, direction);
    return m_zoomed;
}

void Zoom::save(const SavedAppearance& saved) const {
    saved.store.writeSetting(saved.application, Section, KeySize, sizeText(m_zoomed));
    write(saved, KeyChosenSize, sizeText(m_chosen));
    write(saved, KeyZoomedSize, sizeText(m_zoomed));
}

} // namespace appearance
