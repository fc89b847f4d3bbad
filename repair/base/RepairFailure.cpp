#include "RepairFailure.h"

#include <QDir>

RepairFailure RepairFailure::refusal(Reason reason, const QString &description,
                                     const QString &file, Code code)
{
    RepairFailure failure(code, description, file);
    failure.m_reason = reason;
    return failure;
}

RepairFailure RepairFailure::interrupted(const QString &file)
{
    RepairFailure failure(
        NoCode,
        QCoreApplication::translate("PieceCopier", "The copy to %1 was stopped before its end")
            .arg(QDir::toNativeSeparators(file)),
        file);
    failure.m_reason = Reason::Interrupted;
    return failure;
}

RepairFailure &RepairFailure::at(qint64 position)
{
    m_position = position;
    return *this;
}

QString RepairFailure::message() const
{
    if (m_code == NoCode)
        return m_description;
    return QString::number(m_code) + QStringLiteral(": ") + m_description;
}
