#pragma once

#include <QString>
#include <QStringList>

// Times the damage scan of intact AVI and Matroska files of 1 GiB and 4 GiB, made with
// ffmpeg in the folder, against ffprobe's listing of every packet position in the same file,
// with the files in the page cache.
class ScanBenchmark
{
public:
    // Only the rows named in `rows` (such as scan-mkv-1GiB) run, or all when it is empty.
    ScanBenchmark(const QString &folder, int rounds, const QStringList &rows = {});

    // False when a file could not be made, a contender failed or a scan found damage.
    bool run();

private:
    enum class Format { Avi, Matroska };

    bool makeFile(const QString &path, qint64 atLeast, Format format) const;
    bool measure(const QString &name, const QString &path, Format format) const;
    void fail(const QString &why) const;

    QString m_folder;
    int m_rounds;
    QStringList m_rows;
};
