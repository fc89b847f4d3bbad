#include "Attributes.h"

#include "RawFile.h"
#include "SystemErrors.h"

#include <sys/xattr.h>

namespace Attributes {

namespace {

// Every value Saltwick keeps is a short line of text.
const qsizetype LongestValue = 256;

} // namespace

Expected<bool> Set(const RawFile &file, const char *name, const QByteArray &value)
{
    if (::fsetxattr(file.descriptor(), name, value.constData(), size_t(value.size()), 0) == 0)
        return true;
    if (SystemErrors::AttributesNotKept(errno))
        return false;
    return SystemErrors::Failure(errno, file.path());
}

Expected<std::optional<QByteArray>> Get(const RawFile &file, const char *name)
{
    QByteArray value(LongestValue, Qt::Uninitialized);
    const ssize_t got = ::fgetxattr(file.descriptor(), name, value.data(), size_t(value.size()));
    if (got >= 0) {
        value.truncate(got);
        return std::optional(value);
    }
    // A value too long is none of ours.
    if (errno == ENODATA || errno == ERANGE || SystemErrors::AttributesNotKept(errno))
        return std::optional<QByteArray>();
    return SystemErrors::Failure(errno, file.path());
}

Expected<void> Remove(const RawFile &file, const char *name)
{
    if (::fremovexattr(file.descriptor(), name) == 0 || errno == ENODATA
        || SystemErrors::AttributesNotKept(errno))
        return {};
    return SystemErrors::Failure(errno, file.path());
}

} // namespace Attributes
