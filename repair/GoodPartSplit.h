#pragma once

#include "PieceCopier.h"

#include <QString>

// Writes the good part: exactly the first `size` bytes of the source. The bytes go to a
// hidden new file beside it, reach the disk, and only then take the good part's name, so
// an older good part is replaced whole and a failed run leaves nothing half-written.
class GoodPartSplit
{
public:
    GoodPartSplit(const QString &sourcePath, const QString &goodPartPath, qint64 size)
        : m_sourcePath(sourcePath), m_goodPartPath(goodPartPath), m_size(size)
    {
    }

    // The user agreed to give up what stands at the good-part path: a read-only file is
    // replaced, and a folder holding only plain files is emptied and removed.
    void agreeToOverwrite() { m_overwriteAgreed = true; }

    // A folder or a read-only file at the good-part path fails with code 75 until the
    // user agrees to overwrite it.
    RawFile::Result run(QByteArray &chunkBuffer, const CopyHooks &hooks);

private:
    RawFile::Result checkGoodPartPath() const;
    RawFile::Result removeFolderAtGoodPartPath() const;
    RawFile::Result createHiddenFile(RawFile &file, QString &path) const;
    RawFile::Result copyInto(RawFile &target, QByteArray &chunkBuffer, const CopyHooks &hooks);

    QString m_sourcePath;
    QString m_goodPartPath;
    qint64 m_size;
    bool m_overwriteAgreed = false;
};
