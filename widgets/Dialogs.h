#pragma once

#include <QString>

class QWidget;
class RuntimeError;

// Everything that stops the user with a modal box or makes a sound. The window
// only talks to this interface, so tests can drive it with a fake.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual void beep() = 0;
    // A message box with a single OK button and no icon.
    virtual void showMessage(QWidget* parent, const QString& text, const QString& title) = 0;
    // An input box; returns the typed text, or an empty text on Cancel.
    virtual QString askText(QWidget* parent, const QString& prompt, const QString& title) = 0;
    // The report of an error that ends the program.
    virtual void reportUnhandledError(QWidget* parent, const RuntimeError& error) = 0;
};
