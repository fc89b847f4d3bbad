#include "Form1.h"
#include "MessageBoxPrompts.h"
#include "QtFileDialog.h"
#include "TerminationSignals.h"
#include "Translations.h"
#include "Version.h"
#include "WriteLimit.h"

#include <QApplication>
#include <QByteArrayView>

#include <cstdio>

namespace {

void print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

// Answers --help or --version without a window, so without needing a display.
int answerOption(int argc, char *argv[], QByteArrayView option)
{
    QCoreApplication core(argc, argv);
    Translations::Install(core);
    if (option == "--version") {
        print(QStringLiteral("Saltwick %1\n").arg(QLatin1String(Version::Display)));
        return 0;
    }
    print(QCoreApplication::translate(
        "main", "Usage: saltwick [FILE]\n"
                "Keeps the good part of a broken download and merges it back with the file\n"
                "fetched again.\n"
                "\n"
                "  FILE       the damaged file to load, or a good part to list for merging;\n"
                "             the whole rest of the command line is one path, blanks and all\n"
                "  --help     show this help and exit\n"
                "  --version  show the version and exit\n"));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    WriteLimit::FailWritesInsteadOfEnding();

    // Only a command line that is exactly one of these is an option; any other is a path.
    if (argc == 2) {
        const QByteArrayView option(argv[1]);
        if (option == "--help" || option == "--version")
            return answerOption(argc, argv, option);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Saltwick"));
    QApplication::setApplicationVersion(QLatin1String(Version::Display));
    QApplication::setDesktopFileName(QStringLiteral("io.github.saltwick.Saltwick"));
    Translations::Install(app);

    MessageBoxPrompts prompts;
    QtFileDialog dialog;
    Form1 form(prompts, dialog);
    prompts.setParentWindow(&form);
    // Asked to end from outside: as a close, which waits for a copy to stop and clean up.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::arrived, &form, &QWidget::close);
    dialog.setParentWindow(&form);

    // Everything after the program's name is one path, blanks and all.
    form.Form_Load(QApplication::arguments().mid(1).join(u' '));
    form.show();
    return app.exec();
}
