#pragma once

#include "Prompts.h"

class QWidget;

// Message boxes titled with the application's name, without an icon.
class MessageBoxPrompts : public Prompts
{
public:
    void setParentWindow(QWidget *window) { m_window = window; }

    void showMessage(const QString &text) override;
    bool askYesNo(const QString &question) override;
    QString askText(const QString &question) override;
    void beep() override;

private:
    QWidget *m_window = nullptr;
};
