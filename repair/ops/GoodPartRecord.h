#pragma once

#include "FileIdentity.h"
#include "Folder.h"
#include "RawFile.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

// What Saltwick keeps with a good part besides its bytes. While a merge appends to it: the
// length it had before, so that whatever ends the merge (a failure, a kill, a power cut, a
// disk that dies) the next start gives it back at that length. From its split on: which
// file it was split from, so that merging that very file again can be refused. Both are
// extended attributes of the good part; where the file system keeps none, the length goes
// into a small hidden file beside it, and the source goes unrecorded.
class GoodPartRecord
{
    Q_DECLARE_TR_FUNCTIONS(GoodPartRecord)

public:
    // The good part `name` in `folder`, open as `goodPart`.
    GoodPartRecord(Folder &folder, const QString &name, RawFile &goodPart)
        : m_folder(folder), m_name(name), m_goodPart(goodPart)
    {
    }

    // Before the first byte is appended; on the disk, with the good part's own bytes, when
    // this returns.
    Expected<void> recordLength(qint64 length);
    // What a merge that was cut short left recorded.
    Expected<std::optional<qint64>> recordedLength() const;
    // Once the merge is done, or undone and that is on the disk.
    Expected<void> forgetLength();
    // Cuts the good part back to the recorded length and, once that is on the disk, forgets
    // it. The length it has again; nothing when none was recorded.
    Expected<std::optional<qint64>> giveBack();

    // At the split: the source as it was then.
    static void RecordSource(const RawFile &goodPart, const FileIdentity &source);
    static std::optional<FileIdentity> RecordedSource(const RawFile &goodPart);
    static void ForgetSource(const RawFile &goodPart);

    // Drops a hidden length record left for `name` by a merge whose good part has gone.
    static void ForgetLengthOf(Folder &folder, const QString &name);

    // What the start of either program does in a folder before anything else: every good
    // part there that a merge cut short is given back at its recorded length. One line for
    // the user per good part, naming it.
    static QStringList GiveBackIn(const QString &folderPart);

private:
    Expected<void> writeLengthBeside(qint64 length);
    Expected<std::optional<qint64>> lengthBeside() const;

    Folder &m_folder;
    QString m_name;
    RawFile &m_goodPart;
};
