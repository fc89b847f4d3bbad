#include "CommandLineTool.h"
#include "FileSizeLimit.h"
#include "Translations.h"
#include "Version.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    FileSizeLimit::FailWritesInsteadOfEnding();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("saltwick-cli"));
    QCoreApplication::setApplicationVersion(QLatin1String(Version::Display));
    Translations::Install(app);

    CommandLineTool tool;
    return tool.run(QCoreApplication::arguments());
}
