#pragma once

#include "platform/Choosers.h"
#include "platform/CommonDialog.h"
#include "platform/RuntimeError.h"

#include <QList>

#include <functional>

// Choosers that record the dialog object as each one opened and answer from a
// script: a step changes the dialog (the user's choice) and returns true for
// OK or false for Cancel. Without a step a chooser is accepted unchanged.
class FakeChoosers final : public Choosers {
public:
    using Step = std::function<bool(CommonDialog&)>;

    void showFont(QWidget*, CommonDialog& dialog) override { run(fontSeen, fontSteps, dialog); }
    void showColor(QWidget*, CommonDialog& dialog) override { run(colorSeen, colorSteps, dialog); }

    QList<CommonDialog> fontSeen;
    QList<CommonDialog> colorSeen;
    QList<Step> fontSteps;
    QList<Step> colorSteps;

private:
    static void run(QList<CommonDialog>& seen, QList<Step>& steps, CommonDialog& dialog) {
        seen << dialog;
        CommonDialog choice = dialog;
        const bool accepted = steps.isEmpty() || steps.takeFirst()(choice);
        if (accepted) {
            dialog = choice;
        } else if (dialog.CancelError) {
            throw RuntimeError::chooserCancelled();
        }
    }
};
