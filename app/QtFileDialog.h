#pragma once

#include "FileDialog.h"

class QWidget;

// The platform's file-open dialog, with no title, filter or starting folder of its own.
class QtFileDialog : public FileDialog
{
public:
    void setParentWindow(QWidget *window) { m_window = window; }

    QString chooseFileToOpen() override;

private:
    QWidget *m_window = nullptr;
};
