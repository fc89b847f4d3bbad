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
    const QDir dir(m_folder);
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (FileProbe::IsOrdinaryFile(dir.filePath(name)))
            addItem(name);
    }
}
