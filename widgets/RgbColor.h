#pragma once

#include <QPalette>
#include <QtGlobal>

#include <optional>

class QColor;

// Colours as the program keeps them: 0x00BBGGRR (red in the lowest byte), or,
// with the high bit set, a reference to one of the desktop's colours by index.
namespace rgbcolor {

inline constexpr qint32 Black = 0;
inline constexpr qint32 White = 0xFFFFFF;
inline constexpr qint32 SystemFlag = qint32(0x80000000u);
// The desktop's window background and window text.
inline constexpr qint32 SystemWindow = SystemFlag | 5;
inline constexpr qint32 SystemWindowText = SystemFlag | 8;

bool isSystemReference(qint32 value);

// The palette entry a system reference stands for, if it names one.
struct PaletteEntry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};
std::optional<PaletteEntry> systemPaletteEntry(qint32 value);

// The colour a value stands for, system references looked up in `desktop`.
// Throws the invalid-property-value error for a value that names no colour.
QColor toQColor(qint32 value, const QPalette& desktop);

// The plain colour value of a colour; its alpha is dropped.
qint32 fromQColor(const QColor& color);

} // namespace rgbcolor
