// The window's appearance: the saved font and colours, and the font and
// background commands.

#include "app/Form1.h"

#include "appearance/TextAppearance.h"
#include "platform/RuntimeError.h"

#include <QPlainTextEdit>

void Form1::ApplySavedAppearance() {
    appearance::applySaved({m_services.settings, DataPath}, {Text1, centralWidget()}, font());
}

// Both commands end silently at their first failure, Cancel included: the
// user sees the text box as far as the choice got applied, and nothing else.
void Form1::mfont_Click() {
    try {
        appearance::chooseFont(m_services.choosers, cmDialog1, {m_services.settings, DataPath},
                               {Text1, centralWidget()});
    } catch (const RuntimeError&) {
    }
}

void Form1::mbgColor_Click() {
    try {
        appearance::chooseBackground(m_services.choosers, cmDialog1,
                                     {m_services.settings, DataPath}, {Text1, centralWidget()});
    } catch (const RuntimeError&) {
    }
}
