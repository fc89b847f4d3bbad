#pragma once

#include <QtGlobal>

// This process's resident memory, as the kernel counts it.
namespace ProcessMemory {

qint64 Resident();
// The high-water mark of Resident() since the process started or since ResetPeak().
qint64 Peak();
// Sets the high-water mark back to what is resident now; false where the kernel will not.
bool ResetPeak();

} // namespace ProcessMemory
