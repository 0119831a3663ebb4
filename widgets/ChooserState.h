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

// The chooser flag bits. The same bit means one thing to the font chooser and
// another to the colour chooser.
namespace chooserflags {
// Font chooser: list the screen fonts, and the printer fonts, which on this
// desktop are the same list; start from the held font (it always does);
// offer underline, strikethrough and the text colour (honoured).
inline constexpr qint32 FontScreenFonts = 0x1;
inline constexpr qint32 FontPrinterFonts = 0x2;
inline constexpr qint32 FontStartFromHeld = 0x40;
inline constexpr qint32 FontEffects = 0x100;
// Colour chooser: start at the held colour (honoured); open with the custom
// colours shown, which Qt's chooser always does; a dialog template by handle,
// which nothing supplies; any colour may be chosen, as in Qt's chooser always.
inline constexpr qint32 ColorStartFromHeld = 0x1;
inline constexpr qint32 ColorFullOpen = 0x2;
inline constexpr qint32 ColorTemplateHandle = 0x40;
inline constexpr qint32 ColorAnyColor = 0x100;
} // namespace chooserflags
