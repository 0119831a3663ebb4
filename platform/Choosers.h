#pragma once

class QWidget;
struct CommonDialog;

// The modal font and colour choosers. Both start from the values held in the
// dialog object and leave the user's choice there on OK. On Cancel they leave
// it untouched and, when its CancelError is on, throw
// RuntimeError::chooserCancelled(); otherwise they just return.
class Choosers {
public:
    virtual ~Choosers() = default;

    // Face, size, bold, italic, underline, strikethrough and text colour.
    virtual void showFont(QWidget* parent, CommonDialog& dialog) = 0;
    // One colour, in dialog.Color.
    virtual void showColor(QWidget* parent, CommonDialog& dialog) = 0;
};
