#include "Console.h"

#include "Terminal.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

const int BarWidth = 40;

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

Expected<void> Console::text(const QString &text)
{
    return Terminal::WriteStandardOutput(text.toLocal8Bit());
}

void Console::progress(qint64 done, qint64 total)
{
    if (!m_drawsProgress)
        return;
    const int perMille = total > 0 ? int(done * 1000 / total) : 1000;
    // Redrawn only when it moves, so a fast copy does not flood a slow terminal.
    if (perMille == m_shownPerMille)
        return;
    m_shownPerMille = perMille;
    m_progressShown = true;
    const int filled = perMille * BarWidth / 1000;
    const QByteArray bar = '\r' + QByteArray(filled, '#') + QByteArray(BarWidth - filled, '.') + ' '
                           + QByteArray::number(perMille / 10) + '%';
    writeError(bar);
}

void Console::endProgress()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    m_shownPerMille = -1;
    writeError('\r' + QByteArray(BarWidth + 6, ' ') + '\r');
}
