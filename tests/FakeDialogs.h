#pragma once

#include "platform/RuntimeError.h"
#include "widgets/Dialogs.h"

#include <QStringList>

#include <optional>

// Records what the window asks of the user and answers from a script.
class FakeDialogs final : public Dialogs {
public:
    void beep() override { ++beeps; }
    void showMessage(QWidget*, const QString& text, const QString& title) override {
        messages << title + QLatin1Char('|') + text;
    }
    QString askText(QWidget*, const QString& prompt, const QString& title) override {
        prompts << title + QLatin1Char('|') + prompt;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void reportUnhandledError(QWidget*, const RuntimeError& error) override { reported = error; }

    int beeps = 0;
    QStringList messages;
    QStringList prompts;
    QStringList answers;
    std::optional<RuntimeError> reported;
};
