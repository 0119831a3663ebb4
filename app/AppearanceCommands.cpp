// The window's appearance: the saved font and colours, and the font and
// background commands.

#include "app/Form1.h"

void Form1::ApplySavedAppearance() {}

void Form1::mfont_Click() {}

void Form1::mbgColor_Click() {}
