#pragma once

class QMenuBar;

// Highlights the menu bar's active item while the bar has the keyboard (after
// Alt or F10) as it is while one of its menus is open: Qt's Fusion style
// highlights it only then, which leaves a keyboard user no sign of where they
// are. The palette's highlight colours serve the light and the dark theme alike.
void showKeyboardSelection(QMenuBar* bar);
