#include "MessageBoxPrompts.h"

#include <QApplication>
#include <QInputDialog>
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

QString MessageBoxPrompts::askText(const QString &question)
{
    QInputDialog dialog(m_window);
    dialog.setWindowTitle(QApplication::applicationName());
    dialog.setLabelText(question);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue().trimmed();
}

void MessageBoxPrompts::beep()
{
    QApplication::beep();
}
