#pragma once

#include "Expected.h"

#include <QByteArray>

// The program's standard streams: whether someone watches standard error, and standard
// output written so that a result that did not arrive is a failure.
namespace Terminal {

bool StandardErrorIsTerminal();

// Gives each of the standard streams the program was started without a stand-in that
// cannot be used for its purpose, so that no file opened later takes its number: a result
// meant for a closed standard output would otherwise be written into that file. Call it
// before anything opens a file.
void HoldStandardStreams();

// Writes all of `bytes` to standard output at once, unbuffered, so nothing waits for the
// end of the program to be written. Fails with the code 57 when they could not all be
// written: a full disk, a closed standard output, a reader gone.
Expected<void> WriteStandardOutput(const QByteArray &bytes);

} // namespace Terminal
