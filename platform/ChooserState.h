#pragma once

#include <QString>
#include <QtGlobal>

// What the font and colour choosers start from and leave the user's choice in.
// The window keeps one for the whole run: each value stays as it was last set
// or chosen, so a chooser opens where the last one of this run left off.
struct ChooserState {
    bool cancelIsError = false;
    qint32 flags = 0;
    QString fontName;
    float fontSize = 0.0f;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    qint32 color = 0;
    // The font chooser draws its sample on this colour, the background the
    // text will be read on, so that it shows the choice as the reader will.
    qint32 sampleBackground = 0xFFFFFF;
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
