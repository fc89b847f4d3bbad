#pragma once

#include "Prompts.h"

#include <QList>
#include <QStringList>

#include <functional>

// Answers every question from a script and remembers what was shown, so that no test ever
// opens a real message box.
class ScriptedPrompts : public Prompts
{
public:
    void showMessage(const QString &text) override
    {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    bool askYesNo(const QString &question) override
    {
        questions << question;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    QString askText(const QString &question) override
    {
        textQuestions << question;
        return texts.isEmpty() ? QString() : texts.takeFirst();
    }
    void beep() override { ++beeps; }

    QStringList messages;
    QStringList questions;
    QList<bool> answers; // taken from the front; No once they run out
    QStringList textQuestions;
    QStringList texts; // taken from the front; cancelled once they run out
    int beeps = 0;
    std::function<void(const QString &)> onMessage;
};
