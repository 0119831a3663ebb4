#pragma once

#include "widgets/ChooserState.h"

#include <QString>

class Choosers;
class QFont;
class QWidget;
class SettingsStore;

// Applying, choosing and saving the text box's font and colours. Every
// function stops at its first failure and throws it; what was applied or
// written before that stays.
namespace appearance {

// The flags both commands hand to the choosers: screen and printer fonts,
// start from the held font, offer the effects; for colours, start from the
// held colour with the full chooser open.
inline constexpr qint32 ChooserFlags = chooserflags::FontScreenFonts |
                                       chooserflags::FontPrinterFonts |
                                       chooserflags::FontStartFromHeld | chooserflags::FontEffects;
static_assert(ChooserFlags == (chooserflags::ColorStartFromHeld | chooserflags::ColorFullOpen |
                               chooserflags::ColorTemplateHandle | chooserflags::ColorAnyColor));

// Where the look goes: the text box, and the surface that shows the window
// background around it.
struct Targets {
    QWidget* textBox;
    QWidget* background;
};

// The face of the program's own texts: menus, boxes and choosers take not the
// window's bold design font but its regular face at 9 pt, as a Traditional
// Chinese desktop shows them. Using it throughout also spares loading a second
// Chinese face (about a megabyte) for texts the window hardly shows.
QFont programFont();

// The settings store with the application name the look is filed under.
struct SavedAppearance {
    SettingsStore& store;
    const QString& application;
};

// Reads the eight saved values and applies each before reading the next, the
// font values to the design font; the window background then takes the text
// box's background. Writes nothing.
void applySaved(const SavedAppearance& saved, const Targets& targets, const QFont& designFont);

// The font command: the chooser starts from the text box's face, size and
// text colour and from the dialog's own style values; the choice is applied
// and its seven values written.
void chooseFont(Choosers& choosers, ChooserState& dialog, const SavedAppearance& saved,
                const Targets& targets);

// The background command: the chooser starts from the dialog's colour; the
// choice goes to the text box, then to the window background, then is written.
void chooseBackground(Choosers& choosers, ChooserState& dialog, const SavedAppearance& saved,
                      const Targets& targets);

} // namespace appearance
