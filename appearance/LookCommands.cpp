#include "appearance/LookCommands.h"

#include "platform/RuntimeError.h"
#include "widgets/Dialogs.h"

#include <QWidget>

namespace appearance {

void LookCommands::chooseFont(const QString& application, const Targets& targets) {
    run(&appearance::chooseFont, application, targets);
}

void LookCommands::chooseBackground(const QString& application, const Targets& targets) {
    run(&appearance::chooseBackground, application, targets);
}

void LookCommands::run(Command command, const QString& application, const Targets& targets) {
    try {
        command(m_choosers, m_state, {m_settings, application}, targets);
    } catch (const RuntimeError& error) {
        if (error.number() != RuntimeError::PermissionDenied || m_toldNotKept)
            return;
        m_toldNotKept = true;
        m_dialogs.showMessage(
            targets.textBox->window(),
            QStringLiteral("選擇的字型與背景只在這次執行中有效，無法保存到下次啟動。\n\n") +
                error.detail(),
            QStringLiteral("無法保存設定"));
    }
}

} // namespace appearance
