#include "QtFileDialog.h"

#include <QFileDialog>

QString QtFileDialog::chooseFileToOpen()
{
    return QFileDialog::getOpenFileName(m_window);
}
