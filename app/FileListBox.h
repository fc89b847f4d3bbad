#pragma once

#include <QListWidget>

// The names of the ordinary files of one folder: no hidden files, no devices, no folders.
class FileListBox : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileListBox)

public:
    explicit FileListBox(QWidget *parent = nullptr);

    QString folder() const { return m_folder; }
    void setFolder(const QString &folder);
    // Reads the folder again.
    void refresh();

private:
    QString m_folder;
};
