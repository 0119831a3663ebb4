#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringView>
#include <QtGlobal>

// Where and in which text forms the text box's look is kept in the settings
// store. Every reading throws RuntimeError for a text it cannot take.
namespace appearance {

// The window's design face, and the face of a first run.
inline constexpr QStringView DesignFace = u"新細明體";

inline constexpr QLatin1String Section("Font");
inline constexpr QLatin1String KeyName("Name");
inline constexpr QLatin1String KeyBold("Bold");
inline constexpr QLatin1String KeyItalic("Italic");
inline constexpr QLatin1String KeySize("Size");
inline constexpr QLatin1String KeyUnderline("Underline");
inline constexpr QLatin1String KeyStrikethrough("Strikethrough");
inline constexpr QLatin1String KeyForeColor("ForeColor");
inline constexpr QLatin1String KeyBackColor("BackColor");

// "True" or "False".
QString boolText(bool value);
// "True" and "False" in any letter case, or a number (non-zero is true);
// blanks around either are ignored. Anything else is a type mismatch.
bool boolFromText(QStringView text);

// The single-precision size with at most seven significant digits and a full
// stop as decimal point whatever the locale: "10.5", "12".
QString sizeText(float points);
// A plain decimal number with a full stop; a type mismatch otherwise.
float sizeFromText(QStringView text);

// Signed decimal: "255", "-2147483643".
QString colorText(qint32 value);
// A plain decimal number rounded to a whole one, halves to the even
// neighbour. Type mismatch for no number; overflow outside the 32-bit range
// and for positive values above white, which name no colour.
qint32 colorFromText(QStringView text);

} // namespace appearance
