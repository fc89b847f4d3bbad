#include "CommandLineTool.h"
#include "Terminal.h"
#include "Translations.h"
#include "Version.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // Before anything opens a file, which could otherwise take the number of a closed stream.
    Terminal::HoldStandardStreams();
    // A file-size limit on the process must fail the write, not kill the tool mid-copy.
    std::signal(SIGXFSZ, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("saltwick-cli"));
    QCoreApplication::setApplicationVersion(QLatin1String(Version::Display));
    Translations::Install(app);

    CommandLineTool tool;
    return tool.run(QCoreApplication::arguments());
}
