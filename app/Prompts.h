#pragma once

#include <QString>

// Everything that asks the user something or makes a sound goes through here, so that tests
// can answer from a script instead of opening a real message box.
class Prompts
{
public:
    // The answer Return (or Escape) gives to a question. Every question names its own: one
    // that could lose or mix data defaults to No.
    enum class Answer { No, Yes };

    virtual ~Prompts() = default;

    // A message with the single button OK; returns once the user closed it.
    virtual void showMessage(const QString &text) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool askYesNo(const QString &question, Answer byDefault) = 0;
    // A line of text, such as a web address; empty when the user cancelled.
    virtual QString askText(const QString &question) = 0;
    virtual void beep() = 0;
};
