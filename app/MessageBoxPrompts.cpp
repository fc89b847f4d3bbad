#include "MessageBoxPrompts.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxPrompts::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    m_window);
    box.exec();
}

bool MessageBoxPrompts::askYesNo(const QString &question)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), question,
                    QMessageBox::Yes | QMessageBox::No, m_window);
    return box.exec() == QMessageBox::Yes;
}

void MessageBoxPrompts::beep()
{
    QApplication::beep();
}
