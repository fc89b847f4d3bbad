#pragma once

#include <QString>
#include <QStringList>

// Times the damage scan of intact AVIs, Matroska files and MP4s of 1 GiB and 4 GiB, made
// with ffmpeg in the folder, against ffprobe's listing of every packet position in the same
// file, with the files in the page cache; and the scan of a file made to stall it.
class ScanBenchmark
{
public:
    // Only the rows named in `only` are measured, all when it is empty.
    ScanBenchmark(const QString &folder, int rounds, const QStringList &only = {});

    // False when a file could not be made, a contender failed or a scan found damage.
    bool run();

private:
    enum class Format { Avi, Matroska, Mp4 };

    bool makeAvi(const QString &path, qint64 atLeast) const;
    bool makeMatroska(const QString &path, qint64 atLeast) const;
    bool makeMp4(const QString &path, qint64 atLeast) const;
    bool measure(const QString &name, const QString &path, double ratioTarget) const;
    bool measureStalling() const;
    void fail(const QString &why) const;

    QString m_folder;
    int m_rounds;
    QStringList m_only;
};
