#pragma once

#include <QString>

// The file-open dialog, behind a seam so that tests can choose a file from a script.
class FileDialog
{
public:
    virtual ~FileDialog() = default;

    // The full path of the chosen file, or an empty text when the user cancelled.
    virtual QString chooseFileToOpen() = 0;
};
