#include "Console.h"

#include "Terminal.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

const int BarWidth = 30;
// The figures beside the bar change all the time; redrawing them more often helps no one.
const qint64 RedrawIntervalMs = 200;

// Bytes in MB (1,000,000 bytes) or GB, as people read a download's size.
QByteArray megabytes(qint64 bytes)
{
    if (bytes >= 10000000000LL)
        return QByteArray::number(bytes / 1e9, 'f', 1) + " GB";
    return QByteArray::number(bytes / 1e6, 'f', 1) + " MB";
}

QByteArray duration(qint64 seconds)
{
    const QByteArray minutes = QByteArray::number(seconds / 60 % 60);
    const QByteArray rest = QByteArray::number(seconds % 60).rightJustified(2, '0');
    if (seconds >= 3600)
        return QByteArray::number(seconds / 3600) + ':' + minutes.rightJustified(2, '0') + ':'
               + rest;
    return minutes + ':' + rest;
}

} // namespace

Console::Console() : m_drawsProgress(Terminal::StandardErrorIsTerminal()) {}

Console::~Console()
{
    endProgress();
}

// Nothing more can be said when the messages themselves cannot be written.
void Console::writeError(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

Expected<void> Console::result(const QString &line)
{
    endProgress();
    return Terminal::WriteStandardOutput(QFile::encodeName(line) + '\n');
}

void Console::message(const QString &text)
{
    endProgress();
    writeError(
        (QCoreApplication::applicationName() + QStringLiteral(": ") + text + u'\n').toLocal8Bit());
}

void Console::note(const QString &text)
{
    if (!m_quiet)
        message(text);
}

void Console::setQuiet(bool quiet)
{
    m_quiet = quiet;
    m_drawsProgress = !quiet && Terminal::StandardErrorIsTerminal();
}

Expected<void> Console::text(const QString &text)
{
    return Terminal::WriteStandardOutput(text.toLocal8Bit());
}

void Console::progress(qint64 done, qint64 total)
{
    if (!m_drawsProgress)
        return;
    if (!m_progressShown) {
        m_clock.start();
        m_firstDone = done;
        m_lastDrawMs = -RedrawIntervalMs;
    }
    const int perMille = total > 0 ? int(done * 1000 / total) : 1000;
    const qint64 now = m_clock.elapsed();
    // Redrawn only when it moves, so a fast copy does not flood a slow terminal.
    if (perMille == m_shownPerMille || (now - m_lastDrawMs < RedrawIntervalMs && done < total))
        return;
    m_shownPerMille = perMille;
    m_lastDrawMs = now;
    m_progressShown = true;
    const int filled = perMille * BarWidth / 1000;
    QByteArray line = '\r' + QByteArray(filled, '#') + QByteArray(BarWidth - filled, '.') + ' '
                      + QByteArray::number(perMille / 10) + "% " + megabytes(done) + " of "
                      + megabytes(total);
    const qint64 moved = done - m_firstDone;
    if (now >= 500 && moved > 0) {
        const double perSecond = moved * 1000.0 / now;
        line += ", " + megabytes(qint64(perSecond)) + "/s, "
                + duration(qint64((total - done) / perSecond)) + " left";
    }
    const qsizetype width = line.size();
    // Blanks over what a longer line before left behind.
    if (width < m_shownWidth)
        line += QByteArray(m_shownWidth - width, ' ');
    m_shownWidth = width;
    writeError(line);
}

void Console::endProgress()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    m_shownPerMille = -1;
    writeError('\r' + QByteArray(m_shownWidth, ' ') + '\r');
    m_shownWidth = 0;
}
