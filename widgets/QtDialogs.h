#pragma once

#include "widgets/Dialogs.h"

#include <QStringView>

// The captions of the buttons of our boxes and choosers, in the program's
// language whatever the desktop's.
inline constexpr QStringView OkCaption = u"確定";
inline constexpr QStringView CancelCaption = u"取消";

// The real modal boxes and beep.
class QtDialogs final : public Dialogs {
public:
    void beep() override;
    void showMessage(QWidget* parent, const QString& text, const QString& title) override;
    QString askText(QWidget* parent, const QString& prompt, const QString& title) override;
    void reportUnhandledError(QWidget* parent, const RuntimeError& error) override;
};
