#include "CommandLineTool.h"

#include "RepairCommands.h"

#include <QCommandLineParser>

namespace {

const QStringList Commands = {QStringLiteral("scan"), QStringLiteral("split"),
                              QStringLiteral("merge"), QStringLiteral("list")};

} // namespace

int CommandLineTool::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    const QCommandLineOption yes(QStringList{QStringLiteral("y"), QStringLiteral("yes")});
    const QCommandLineOption force(QStringList{QStringLiteral("f"), QStringLiteral("force")});
    parser.addOptions({help, version, yes, force});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    QStringList words = parser.positionalArguments();
    const QString command = words.isEmpty() ? QString() : words.takeFirst();
    if (parser.isSet(version)) {
        if (!command.isEmpty() || parser.isSet(help))
            return usageError(tr("--version takes nothing else"));
        return answered(m_console.text(QCoreApplication::applicationName() + u' '
                                       + QCoreApplication::applicationVersion() + u'\n'));
    }
    if (command.isEmpty()) {
        if (!parser.isSet(help))
            return usageError(tr("no command given"));
        return answered(m_console.text(toolHelp()));
    }
    if (command == QStringLiteral("help")) {
        if (words.isEmpty())
            return answered(m_console.text(toolHelp()));
        if (words.size() > 1 || !Commands.contains(words.first()))
            return usageError(tr("help takes one of the commands %1").arg(Commands.join(u' ')));
        return answered(m_console.text(commandHelp(words.first())));
    }
    if (!Commands.contains(command))
        return usageError(tr("unknown command '%1'").arg(command));
    if (parser.isSet(help))
        return answered(m_console.text(commandHelp(command)));
    if (parser.isSet(yes) && command != QStringLiteral("split"))
        return usageError(tr("--yes belongs to split"));
    if (parser.isSet(force) && command != QStringLiteral("merge"))
        return usageError(tr("--force belongs to merge"));

    RepairCommands repair(m_console);
    if (command == QStringLiteral("scan")) {
        if (words.size() != 1)
            return usageError(tr("scan takes one FILE"));
        return repair.scan(words.first());
    }
    if (command == QStringLiteral("split")) {
        if (words.size() != 2)
            return usageError(tr("split takes a FILE and a SIZE"));
        return repair.split(words.at(0), words.at(1), parser.isSet(yes));
    }
    if (command == QStringLiteral("merge")) {
        if (words.isEmpty())
            return usageError(tr("merge takes at least one GOODPART"));
        return repair.merge(words, parser.isSet(force));
    }
    if (words.size() > 1)
        return usageError(tr("list takes at most one FOLDER"));
    return repair.list(words.value(0));
}

int CommandLineTool::answered(const Expected<void> &written)
{
    if (written)
        return ExitStatus::Success;
    m_console.message(written.failure().message());
    return written.failure().code();
}

int CommandLineTool::usageError(const QString &problem)
{
    m_console.message(problem);
    m_console.message(tr("try '%1 --help'").arg(QCoreApplication::applicationName()));
    return ExitStatus::Usage;
}

QString CommandLineTool::toolHelp() const
{
    return tr("Usage: saltwick-cli COMMAND [OPTION]... ARGUMENT...\n"
              "Repairs a large media file whose download went wrong part-way: split off its\n"
              "good part, fetch the file again, merge the good part back.\n"
              "\n"
              "Commands:\n"
              "  scan FILE          say where the damage of an AVI file begins\n"
              "  split FILE SIZE    copy the first SIZE bytes of FILE into its good part\n"
              "                     (movie.avi gives movie.QQQ); SIZE may be an error line\n"
              "  merge GOODPART...  complete each good part from the file fetched again\n"
              "                     and give it the fixed name (movie-.avi)\n"
              "  list [FOLDER]      the good parts of a folder whose file has been fetched\n"
              "                     again (default: the current folder)\n"
              "\n"
              "Options:\n"
              "  -h, --help         show this help, or a command's help after the command\n"
              "  -V, --version      show the version\n"
              "  -y, --yes          split: replace what stands at the good part's path\n"
              "  -f, --force        merge: merge even when the new file does not match the\n"
              "                     good part at the join\n"
              "\n"
              "Results go to standard output, one per line; messages go to standard error,\n"
              "and so does a progress bar when standard error is a terminal.\n"
              "\n"
              "Exit status:\n"
              "   0  success\n"
              "   1  refused, with the reason on standard error\n"
              "   2  usage error\n"
              "   5  invalid argument\n"
              "   7  out of memory\n"
              "  53  file not found\n"
              "  57  device I/O error\n"
              "  61  disk full\n"
              "  70  permission denied\n"
              "  75  path/file access error: something stands where a file must go\n"
              "  76  path not found\n"
              " 130  interrupted (SIGINT, SIGTERM or SIGHUP); nothing was left half-done\n");
}

QString CommandLineTool::commandHelp(const QString &command) const
{
    if (command == QStringLiteral("scan")) {
        return tr("Usage: saltwick-cli scan FILE\n"
                  "Reads the structure of the AVI file FILE, without changing it, and prints\n"
                  "where its damage begins as a line that split takes as its SIZE:\n"
                  "  Damage found at offset: N (Xh)\n"
                  "or says that no damage was found, or that FILE is not an AVI file (exit\n"
                  "status 1).\n");
    }
    if (command == QStringLiteral("split")) {
        return tr("Usage: saltwick-cli split [--yes] FILE SIZE\n"
                  "Copies the first bytes of FILE into its good part beside it (movie.avi\n"
                  "gives movie.QQQ) and prints the good part's path and length, separated by a\n"
                  "tab. FILE itself is never changed.\n"
                  "\n"
                  "SIZE is a number of bytes, or a line that names the offset of the damage,\n"
                  "such as \"Error at offset: 1234567 (12D687h)\" or the line that scan prints:\n"
                  "then the good part ends 50000 bytes before that offset.\n"
                  "\n"
                  "  -y, --yes   replace a read-only file or a folder that stands at the good\n"
                  "              part's path; without it, split refuses (exit status 75)\n");
    }
    if (command == QStringLiteral("merge")) {
        return tr("Usage: saltwick-cli merge [--force] GOODPART...\n"
                  "Completes each good part (movie.QQQ) with the bytes of the file fetched\n"
                  "again (movie.avi) beyond its length, renames it to the fixed file\n"
                  "(movie-.avi) and prints the fixed file's path. Stops at the first good part\n"
                  "that cannot be merged.\n"
                  "\n"
                  "Before anything is written, the last bytes of the good part (up to 1 MiB)\n"
                  "are compared with the new file's bytes at the same positions. When they\n"
                  "differ, the new file is another file or another version, and merge refuses\n"
                  "(exit status 1).\n"
                  "\n"
                  "  -f, --force   merge even when the new file does not match at the join\n");
    }
    return tr("Usage: saltwick-cli list [FOLDER]\n"
              "Prints the good parts in FOLDER (default: the current folder) whose file has\n"
              "been fetched again, one per line, ready for merge.\n");
}
