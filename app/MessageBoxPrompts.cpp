#include "MessageBoxPrompts.h"

#include <QApplication>
#include <QInputDialog>

void MessageBoxPrompts::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    m_window);
    box.exec();
}

std::unique_ptr<QMessageBox> MessageBoxPrompts::questionBox(const QString &question,
                                                            Answer byDefault, QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QApplication::applicationName(),
                                             question, QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(byDefault == Answer::Yes ? QMessageBox::Yes : QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool MessageBoxPrompts::askYesNo(const QString &question, Answer byDefault)
{
    const std::unique_ptr<QMessageBox> box = questionBox(question, byDefault, m_window);
    return box->exec() == QMessageBox::Yes;
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
