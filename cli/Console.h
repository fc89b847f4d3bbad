#pragma once

#include "Expected.h"

#include <QElapsedTimer>
#include <QString>

// Where the tool talks: results alone on standard output, so that a script can read them,
// and messages and the progress bar on standard error. The bar is drawn only on a terminal.
class Console
{
public:
    Console();
    ~Console();
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    // One line of results: text as it is, paths as the bytes that name the file. Fails with
    // the code 57 when it could not be written: a script would take a missing line for none.
    Expected<void> result(const QString &line);
    // A message for the person at the terminal, after the tool's name: an error, said even
    // when quiet.
    void message(const QString &text);
    // Something worth knowing that is no error; not said when quiet.
    void note(const QString &text);
    // No progress bar and no notes, only results and errors.
    void setQuiet(bool quiet);
    // Help and version, which the user asked for, go to standard output.
    Expected<void> text(const QString &text);

    // A bar, the bytes done of all, the rate so far and the time left.
    void progress(qint64 done, qint64 total);
    void endProgress();

private:
    void writeError(const QByteArray &bytes);

    bool m_drawsProgress = false;
    bool m_quiet = false;
    bool m_progressShown = false;
    int m_shownPerMille = -1;
    qsizetype m_shownWidth = 0;
    // Since the first progress of this bar, and the bytes done then.
    QElapsedTimer m_clock;
    qint64 m_firstDone = 0;
    qint64 m_lastDrawMs = 0;
};
