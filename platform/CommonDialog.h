#pragma once

#include <QString>
#include <QtGlobal>

// The values that the window's one common-dialog object (cmDialog1) keeps
// between uses of its choosers. Each value stays as it was last set or returned.
struct CommonDialog {
    bool CancelError = false;
    qint32 Flags = 0;
    QString FontName;
    float FontSize = 0.0f;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    bool FontStrikethru = false;
    qint32 Color = 0;
};

// The largest font size, in points, that the choosers offer and the text box
// takes.
inline constexpr float MaxFontSize = 1638.0f;

// Flag bits that the choosers honour.
namespace chooserflags {
// Font chooser: offer underline, strikethrough and the text colour.
inline constexpr qint32 FontEffects = 0x100;
// Colour chooser: start at the colour held in the dialog object.
inline constexpr qint32 ColorStartFromHeld = 0x1;
} // namespace chooserflags
