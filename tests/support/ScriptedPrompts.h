#pragma once

#include "Prompts.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

// Answers every question from a script and remembers what was shown, so that no test ever
// opens a real message box.
class ScriptedPrompts : public Prompts
{
public:
    // In `answers`: the user presses Return, which gives the question's default.
    static constexpr std::nullopt_t PressReturn = std::nullopt;

    void showMessage(const QString &text) override
    {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    bool askYesNo(const QString &question, Answer byDefault) override
    {
        questions << question;
        defaults << byDefault;
        const std::optional<bool> answer = answers.isEmpty() ? PressReturn : answers.takeFirst();
        return answer.value_or(byDefault == Answer::Yes);
    }
    QString askText(const QString &question) override
    {
        textQuestions << question;
        return texts.isEmpty() ? QString() : texts.takeFirst();
    }
    void beep() override { ++beeps; }

    QStringList messages;
    QStringList questions;
    QList<Answer> defaults;             // what Return would have answered, one per question
    QList<std::optional<bool>> answers; // taken from the front; Return once they run out
    QStringList textQuestions;
    QStringList texts; // taken from the front; cancelled once they run out
    int beeps = 0;
    std::function<void(const QString &)> onMessage;
};
