#pragma once

// A limit on the size of the files this process may write (ulimit -f).
namespace WriteLimit {

// Makes a write past the limit fail with "file too large", which the copy reports, instead
// of the signal that would kill the program mid-copy.
void FailWritesInsteadOfEnding();

} // namespace WriteLimit
