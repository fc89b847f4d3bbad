#pragma once

#include <QCoreApplication>
#include <QString>

// A failure of a repair operation: one of our own numeric codes and a plain description.
// The user sees them as "code: description".
class RepairFailure
{
    Q_DECLARE_TR_FUNCTIONS(RepairFailure)

public:
    enum Code {
        InvalidArgument = 5,
        OutOfMemory = 7,
        FileNotFound = 53,
        DeviceIoError = 57,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        PathNotFound = 76,
    };

    RepairFailure(Code code, const QString &description) : m_code(code), m_description(description)
    {
    }

    // Maps a system error number met while working on `path` to one of our codes.
    static RepairFailure fromErrno(int error, const QString &path);

    Code code() const { return m_code; }
    QString description() const { return m_description; }
    QString message() const;

private:
    Code m_code;
    QString m_description;
};
