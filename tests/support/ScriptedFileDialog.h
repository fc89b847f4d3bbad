#pragma once

#include "FileDialog.h"

#include <QStringList>

// Chooses the next file of its script; an empty entry, or none left, is a cancel.
class ScriptedFileDialog : public FileDialog
{
public:
    QString chooseFileToOpen() override
    {
        ++opened;
        return choices.isEmpty() ? QString() : choices.takeFirst();
    }

    QStringList choices;
    int opened = 0;
};
