#pragma once

#include <QString>

// Times the fetch of a 1 GiB tail from nginx on this machine (started for the purpose on
// 127.0.0.1, in the working folder) against `curl -r L- -o FILE` and `sync`, which fetches
// the same bytes, and counts the bytes each took off the wire as nginx logged them.
class FetchBenchmark
{
public:
    FetchBenchmark(const QString &folder, qint64 tail, int rounds);

    // False when the server could not be started, a contender failed or made a wrong file.
    bool run();

private:
    struct Round
    {
        double seconds = 0;
        qint64 wireBytes = 0;
        qint64 peakAboveBaseline = 0; // Saltwick's own process only
    };

    bool runSaltwick(const QString &address, Round &round) const;
    bool runCommand(const QString &name, const QStringList &program, Round &round) const;
    bool writeGoodPart() const;
    void report(const QString &name, const QList<Round> &rounds, double saltwickBest) const;
    QString path(const QString &name) const { return m_folder + u'/' + name; }
    bool fail(const QString &why) const;

    QString m_folder;
    qint64 m_tail;
    qint64 m_goodPart;
    int m_rounds;
};
