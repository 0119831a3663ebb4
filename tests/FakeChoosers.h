#pragma once

#include "platform/RuntimeError.h"
#include "widgets/ChooserState.h"
#include "widgets/Choosers.h"

#include <QList>

#include <functional>

// Choosers that record the dialog object as each one opened and answer from a
// script: a step changes the dialog (the user's choice) and returns true for
// OK or false for Cancel. Without a step a chooser is accepted unchanged.
class FakeChoosers final : public Choosers {
public:
    using Step = std::function<bool(ChooserState&)>;

    void showFont(QWidget*, ChooserState& dialog) override { run(fontSeen, fontSteps, dialog); }
    void showColor(QWidget*, ChooserState& dialog) override { run(colorSeen, colorSteps, dialog); }

    QList<ChooserState> fontSeen;
    QList<ChooserState> colorSeen;
    QList<Step> fontSteps;
    QList<Step> colorSteps;

private:
    static void run(QList<ChooserState>& seen, QList<Step>& steps, ChooserState& dialog) {
        seen << dialog;
        ChooserState choice = dialog;
        const bool accepted = steps.isEmpty() || steps.takeFirst()(choice);
        if (accepted) {
            dialog = choice;
        } else if (dialog.cancelIsError) {
            throw RuntimeError::chooserCancelled();
        }
    }
};
