#pragma once

#include <QtGlobal>

#include <functional>

// What a long copy or scan calls back into: the window's event processing, its progress
// bar, and the question whether the program was asked to end.
struct CopyHooks
{
    std::function<void()> yield;
    std::function<void(qint64 done, qint64 total)> progress;
    // Asked after each yield: true ends the work there.
    std::function<bool()> stopRequested = nullptr;

    bool stopAsked() const { return stopRequested && stopRequested(); }
};
