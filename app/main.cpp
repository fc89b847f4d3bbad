#include "Form1.h"
#include "MessageBoxPrompts.h"
#include "QtFileDialog.h"
#include "TerminationSignals.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A file-size limit on the process must fail the write, not kill the program mid-copy.
    std::signal(SIGXFSZ, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Saltwick"));
    QApplication::setApplicationVersion(QStringLiteral("1.00.0055"));
    QApplication::setDesktopFileName(QStringLiteral("saltwick"));

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
