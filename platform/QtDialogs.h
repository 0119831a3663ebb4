#pragma once

#include "platform/Dialogs.h"

// The real modal boxes and beep.
class QtDialogs final : public Dialogs {
public:
    void beep() override;
    void showMessage(QWidget* parent, const QString& text, const QString& title) override;
    QString askText(QWidget* parent, const QString& prompt, const QString& title) override;
    void reportUnhandledError(QWidget* parent, const RuntimeError& error) override;
};
