#pragma once

#include "widgets/Choosers.h"

// The real choosers: a font chooser of our own, since QFontDialog offers no
// text colour, and QColorDialog. Both are Qt's own widgets, never the
// desktop's native dialogs, so they look and behave the same everywhere.
class QtChoosers final : public Choosers {
public:
    void showFont(QWidget* parent, ChooserState& dialog) override;
    void showColor(QWidget* parent, ChooserState& dialog) override;
};
