#pragma once

#include "RepairFailure.h"

#include <QString>

#include <cerrno>

// The system's error numbers, seen from this program: what each means to the user, and the
// groups of them that say the kernel cannot do a thing here rather than that it failed.
namespace SystemErrors {

// One of our codes and a plain description for an error met while working on `path`.
RepairFailure Failure(int error, const QString &path);
// The same failures, for code that finds them without a system call of its own.
RepairFailure FileNotFound(const QString &path);
RepairFailure NotAFolder(const QString &path);
RepairFailure NotReadable(const QString &path);

// A signal cut the call short.
inline bool WasInterrupted(int error)
{
    return error == EINTR;
}

// Calls `call` again as long as a signal interrupted it (-1 and EINTR).
template <typename Call> auto Retried(Call call)
{
    auto result = call();
    while (result == -1 && WasInterrupted(errno))
        result = call();
    return result;
}

// copy_file_range cannot move bytes between these two files; copy through memory instead.
bool CannotCopyInKernel(int error);
// The file system cannot make a file without a name (O_TMPFILE).
bool CannotMakeUnnamedFiles(int error);
// The file system does not know renameat2's flags.
bool CannotRenameWithFlags(int error);
// The file system keeps no extended attributes (or none in the user namespace).
bool AttributesNotKept(int error);
// Linking a file by its descriptor needs a privilege we may lack; /proc does not.
bool CannotLinkByDescriptor(int error);

} // namespace SystemErrors
