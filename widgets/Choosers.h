#pragma once

class QWidget;
struct ChooserState;

// The modal font and colour choosers. Both start from the values held in the
// dialog object and leave the user's choice there on OK. On Cancel they leave
// it untouched and, when its cancelIsError is on, throw
// RuntimeError::chooserCancelled(); otherwise they just return.
class Choosers {
public:
    virtual ~Choosers() = default;

    // Face, size, bold, italic, underline, strikethrough and text colour.
    virtual void showFont(QWidget* parent, ChooserState& dialog) = 0;
    // One colour, in dialog.color.
    virtual void showColor(QWidget* parent, ChooserState& dialog) = 0;
};
