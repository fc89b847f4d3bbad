#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP, turned into something a copy can look at between pieces and
// an event loop can react to. While one object of this class lives, the signals no longer
// end the program on the spot: a copy stops at its next piece and removes its working
// file, and whoever listens to arrived() ends the program the way a close would.
class TerminationSignals : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationSignals)

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // One of the signals came while an object of this class lives.
    static bool received();
    // Which one came first (SIGTERM, SIGINT or SIGHUP), or 0 while none has.
    static int receivedSignal();

signals:
    void arrived();

private:
    QSocketNotifier *m_notifier = nullptr;
};
