#include "CommandLineTool.h"
#include "Terminal.h"
#include "Translations.h"
#include "Version.h"
#include "WriteLimit.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // Before anything opens a file, which could otherwise take the number of a closed stream.
    Terminal::HoldStandardStreams();
    WriteLimit::FailWritesInsteadOfEnding();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("saltwick-cli"));
    QCoreApplication::setApplicationVersion(QLatin1String(Version::Display));
    Translations::Install(app);

    CommandLineTool tool;
    return tool.run(QCoreApplication::arguments());
}
