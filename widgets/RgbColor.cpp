#include "widgets/RgbColor.h"

#include "platform/RuntimeError.h"

#include <QColor>

#include <array>

namespace rgbcolor {

namespace {

constexpr QPalette::ColorGroup A = QPalette::Active;
constexpr QPalette::ColorGroup D = QPalette::Disabled;
// Unused indices hold NoRole.
constexpr std::array<PaletteEntry, 31> SystemColors{{
    {A, QPalette::Button},          // 0 scroll bar
    {A, QPalette::Dark},            // 1 desktop
    {A, QPalette::Highlight},       // 2 active title bar
    {A, QPalette::Mid},             // 3 inactive title bar
    {A, QPalette::Window},          // 4 menu
    {A, QPalette::Base},            // 5 window background
    {A, QPalette::Shadow},          // 6 window frame
    {A, QPalette::WindowText},      // 7 menu text
    {A, QPalette::Text},            // 8 window text
    {A, QPalette::HighlightedText}, // 9 title text
    {A, QPalette::Window},          // 10 active border
    {A, QPalette::Window},          // 11 inactive border
    {A, QPalette::Dark},            // 12 application workspace
    {A, QPalette::Highlight},       // 13 selection
    {A, QPalette::HighlightedText}, // 14 selected text
    {A, QPalette::Button},          // 15 button face
    {A, QPalette::Dark},            // 16 button shadow
    {D, QPalette::Text},            // 17 grey text
    {A, QPalette::ButtonText},      // 18 button text
    {D, QPalette::WindowText},      // 19 inactive title text
    {A, QPalette::Light},           // 20 button highlight
    {A, QPalette::Shadow},          // 21 dark 3D shadow
    {A, QPalette::Midlight},        // 22 3D light
    {A, QPalette::ToolTipText},     // 23 tooltip text
    {A, QPalette::ToolTipBase},     // 24 tooltip background
    {A, QPalette::NoRole},          // 25 unused
    {A, QPalette::Link},            // 26 hot-tracked item
    {A, QPalette::Highlight},       // 27 active title gradient
    {A, QPalette::Mid},             // 28 inactive title gradient
    {A, QPalette::Highlight},       // 29 menu selection
    {A, QPalette::Window},          // 30 menu bar
}};

} // namespace

bool isSystemReference(qint32 value) {
    return value < 0;
}

std::optional<PaletteEntry> systemPaletteEntry(qint32 value) {
    if (!isSystemReference(value))
        return std::nullopt;
    const qint32 index = value & 0x7FFFFFFF;
    if (index >= qint32(SystemColors.size()) || SystemColors[index].role == QPalette::NoRole)
        return std::nullopt;
    return SystemColors[index];
}

QColor toQColor(qint32 value, const QPalette& desktop) {
    if (isSystemReference(value)) {
        const std::optional<PaletteEntry> entry = systemPaletteEntry(value);
        if (!entry)
            throw RuntimeError::invalidPropertyValue();
        return desktop.color(entry->group, entry->role);
    }
    if (value > White)
        throw RuntimeError::invalidPropertyValue();
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

qint32 fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}

} // namespace rgbcolor
