#pragma once

#include <QCoreApplication>
#include <QString>

// Why a repair step did not do what was asked: the one way every failure travels through
// the repair code. It holds one of our own numeric codes (or none), the reason, the file it
// concerns, a plain description and, where one belongs, a 0-based position in the file.
// The user sees "code: description", or the description alone when there is no code.
class RepairFailure
{
    Q_DECLARE_TR_FUNCTIONS(RepairFailure)

public:
    enum Code {
        NoCode = 0,
        InvalidArgument = 5,
        OutOfMemory = 7,
        FileNotFound = 53,
        DeviceIoError = 57,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        PathNotFound = 76,
        ServerFault = 80, // the server did not serve the file as asked, or could not be reached
    };

    enum class Reason {
        Failed,      // the system or the files would not
        Interrupted, // the program was asked to end; nothing was left half-done
        // Refusals, decided before anything changed:
        IncorrectSize,     // the size box's text is no size
        SourceMissing,     // no ordinary file where one was named
        NameTooShort,      // the name cannot give a good part's name
        SizeTooLarge,      // the file is shorter than the size asked for
        SourceIsGoodPart,  // the good part would be the source itself, or another name of it
        NeedsConsent,      // something the user may give up stands at the good-part path
        NotAGoodPart,      // the name is not a good part's
        CompanionTooShort, // the new file is not longer than the good part
        JoinDiffers,       // the new file does not continue the good part, from position()
        NotReadable,       // in no format the damage finder reads
        NoDamageFound,     // the damage finder proved nothing wrong
        ServerFault,       // a wrong answer, a changed file, no server there
        ConnectionLost,    // the connection kept breaking; what was fetched is kept
        RangesIgnored,     // the server sends the whole file whatever part is asked for
        RemoteNotLonger,   // the file at the address is not longer than the good part
    };

    RepairFailure(Code code, const QString &description, const QString &file = {})
        : m_code(code), m_description(description), m_file(file)
    {
    }
    static RepairFailure refusal(Reason reason, const QString &description,
                                 const QString &file = {}, Code code = NoCode);
    // The program was asked to end while `file` was being written.
    static RepairFailure interrupted(const QString &file);

    Code code() const { return m_code; }
    Reason reason() const { return m_reason; }
    bool isRefusal() const { return m_reason != Reason::Failed && m_reason != Reason::Interrupted; }
    QString file() const { return m_file; }
    QString description() const { return m_description; }
    qint64 position() const { return m_position; }
    RepairFailure &at(qint64 position);
    QString message() const;

private:
    Code m_code;
    QString m_description;
    QString m_file;
    Reason m_reason = Reason::Failed;
    qint64 m_position = -1;
};
