#include "FileListBox.h"

#include "FileProbe.h"

#include <QDir>

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent)
{
    setFolder(QDir::currentPath());
}

void FileListBox::setFolder(const QString &folder)
{
    m_folder = folder.isEmpty() ? QDir::currentPath() : folder;
    refresh();
}

void FileListBox::refresh()
{
    clear();
    addItems(FileProbe::OrdinaryFilesIn(m_folder));
}
