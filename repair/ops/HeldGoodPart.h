#pragma once

#include "Folder.h"
#include "RawFile.h"

#include <QCoreApplication>
#include <QString>

// A good part opened to be completed: held by what was opened, never through a symbolic link,
// never a file that has other names, and locked against every other Saltwick for as long as
// it is held.
class HeldGoodPart
{
    Q_DECLARE_TR_FUNCTIONS(HeldGoodPart)

public:
    // `name` in `folder`; messages name it `path`.
    Expected<void> open(const Folder &folder, const QString &name, const QString &path);
    // The name still names the file that was opened.
    Expected<void> stillNamed() const;

    RawFile &file() { return m_file; }
    const RawFile &file() const { return m_file; }

    // Nothing stands at the fixed name, the file system takes it, the folder can be written
    // (the rename at the end needs that) and has room for `bytesToWrite` more bytes.
    static Expected<void> CheckFixedName(const Folder &folder, const QString &fixedName,
                                         const QString &fixedPath, qint64 bytesToWrite);

private:
    const Folder *m_folder = nullptr;
    QString m_name;
    QString m_path;
    RawFile m_file;
};
