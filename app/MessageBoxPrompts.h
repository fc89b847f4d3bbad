#pragma once

#include "Prompts.h"

#include <QMessageBox>

#include <memory>

class QWidget;

// Message boxes titled with the application's name, without an icon.
class MessageBoxPrompts : public Prompts
{
public:
    void setParentWindow(QWidget *window) { m_window = window; }

    void showMessage(const QString &text) override;
    bool askYesNo(const QString &question, Answer byDefault) override;
    QString askText(const QString &question) override;
    void beep() override;

    // The box askYesNo shows: Return presses `byDefault`, Escape answers No.
    static std::unique_ptr<QMessageBox> questionBox(const QString &question, Answer byDefault,
                                                    QWidget *parent);

private:
    QWidget *m_window = nullptr;
};
