#include "CommandLineTool.h"

#include "RepairCommands.h"

#include <QCommandLineParser>

namespace {

const QStringList Commands
    = {QStringLiteral("scan"),  QStringLiteral("split"),  QStringLiteral("merge"),
       QStringLiteral("fetch"), QStringLiteral("repair"), QStringLiteral("list")};
const QStringList Fetching = {QStringLiteral("fetch"), QStringLiteral("repair")};

} // namespace

int CommandLineTool::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    const QCommandLineOption yes(QStringList{QStringLiteral("y"), QStringLiteral("yes")});
    const QCommandLineOption force(QStringList{QStringLiteral("f"), QStringLiteral("force")});
    const QCommandLineOption with(QStringLiteral("with"), QString(), QStringLiteral("NEWFILE"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QString(), QStringLiteral("NAME"));
    const QCommandLineOption at(QStringLiteral("at"), QString(), QStringLiteral("SIZE"));
    const QCommandLineOption whole(QStringLiteral("whole"));
    const QCommandLineOption retries(QStringLiteral("retries"), QString(), QStringLiteral("N"));
    const QList<QCommandLineOption> options
        = {help, version, yes, force, with, quiet, output, at, whole, retries};
    parser.addOptions(options);
    if (!parser.parse(arguments))
        return parseError(parser, arguments, options);

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
    if (parser.isSet(force) && command != QStringLiteral("merge") && !Fetching.contains(command))
        return usageError(tr("--force belongs to merge, fetch and repair"));
    if (parser.isSet(with) && command != QStringLiteral("merge"))
        return usageError(tr("--with belongs to merge"));
    if (parser.isSet(output) && command != QStringLiteral("fetch"))
        return usageError(tr("--output belongs to fetch"));
    if (parser.isSet(at) && command != QStringLiteral("repair"))
        return usageError(tr("--at belongs to repair"));
    if ((parser.isSet(whole) || parser.isSet(retries)) && !Fetching.contains(command))
        return usageError(tr("--whole and --retries belong to fetch and repair"));
    FetchChoices choices;
    choices.fixedName = parser.value(output);
    choices.wholeAllowed = parser.isSet(whole);
    if (parser.isSet(retries)) {
        bool read = false;
        choices.retries = parser.value(retries).toInt(&read);
        if (!read || choices.retries < 0)
            return usageError(tr("--retries takes a whole number of at least 0"));
    }
    m_console.setQuiet(parser.isSet(quiet));

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
        if (parser.isSet(with)) {
            if (words.size() != 1)
                return usageError(tr("merge --with takes one GOODPART"));
            return repair.mergeWith(words.first(), parser.value(with), parser.isSet(force));
        }
        return repair.merge(words, parser.isSet(force));
    }
    if (command == QStringLiteral("fetch")) {
        if (words.size() != 2)
            return usageError(tr("fetch takes a GOODPART and a URL"));
        return repair.fetch(words.at(0), words.at(1), choices, parser.isSet(force));
    }
    if (command == QStringLiteral("repair")) {
        if (words.size() != 2)
            return usageError(tr("repair takes a FILE and a URL"));
        if (parser.isSet(at) && parser.value(at).trimmed().isEmpty())
            return usageError(tr("--at takes a SIZE"));
        return repair.repair(words.at(0), words.at(1), parser.value(at), choices,
                             parser.isSet(force));
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

int CommandLineTool::parseError(const QCommandLineParser &parser, const QStringList &arguments,
                                const QList<QCommandLineOption> &options)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString name = unknown.first();
        const QString dashes = name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
        return usageError(tr("unknown option %1").arg(dashes + name));
    }
    // What else stops the parser is a value given to an option that takes none, or one
    // missing after an option that takes one.
    const QStringList words = arguments.mid(1);
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (word == QStringLiteral("--"))
            break;
        if (!word.startsWith(u'-'))
            continue;
        const QString name
            = word.section(u'=', 0, 0).mid(word.startsWith(QStringLiteral("--")) ? 2 : 1);
        for (const QCommandLineOption &option : options) {
            if (!option.names().contains(name))
                continue;
            const QString typed
                = (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
            if (option.valueName().isEmpty() && word.contains(u'='))
                return usageError(tr("%1 takes no value").arg(typed));
            if (!option.valueName().isEmpty() && !word.contains(u'=') && i + 1 == words.size())
                return usageError(tr("%1 takes %2").arg(typed, option.valueName()));
        }
    }
    return usageError(parser.errorText());
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
              "  scan FILE          say where the damage of an AVI, Matroska or MP4 file\n"
              "                     begins\n"
              "  split FILE SIZE    copy the first SIZE bytes of FILE into its good part\n"
              "                     (movie.avi gives movie.QQQ); SIZE may be an error line\n"
              "  merge GOODPART...  complete each good part from the file fetched again\n"
              "                     and give it the fixed name (movie-.avi)\n"
              "  merge --with NEWFILE GOODPART\n"
              "                     complete the good part from NEWFILE, whatever its name\n"
              "                     (clip.QQQ and new.mp4 give clip-.mp4)\n"
              "  fetch GOODPART URL complete the good part with the bytes it lacks of the\n"
              "                     file at URL, and give it the fixed name\n"
              "  repair FILE URL    the whole repair: split FILE before its damage, fetch\n"
              "                     the rest from URL (movie.avi gives movie-.avi)\n"
              "  list [FOLDER]      the good parts of a folder whose file has been fetched\n"
              "                     again (default: the current folder)\n"
              "\n"
              "Options:\n"
              "  -h, --help         show this help, or a command's help after the command\n"
              "  -V, --version      show the version\n"
              "  -y, --yes          split: replace what stands at the good part's path\n"
              "  -f, --force        merge, fetch, repair: go on even when the new bytes do\n"
              "                     not match the good part at the join\n"
              "  -o, --output NAME  fetch: the fixed file's name, in the good part's folder\n"
              "      --at SIZE      repair: keep SIZE bytes instead of scanning for the damage\n"
              "      --whole        fetch, repair: let a server that ignores ranges send the\n"
              "                     whole file through; only the missing bytes are kept\n"
              "      --retries N    fetch, repair: resume a dropped connection up to N times\n"
              "                     in a row (default 5)\n"
              "  -q, --quiet        no progress bar and no messages but errors\n"
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
              "  80  the server did not serve the file as asked: a wrong answer, a changed\n"
              "      file, a connection that kept breaking, no server at the address\n"
              " 129  ended by SIGHUP, 130 by SIGINT (Ctrl-C), 143 by SIGTERM; the copy or\n"
              "      fetch stopped at its next piece and nothing was left half-done\n");
}

QString CommandLineTool::commandHelp(const QString &command) const
{
    if (command == QStringLiteral("scan")) {
        return tr("Usage: saltwick-cli scan FILE\n"
                  "Reads the structure of FILE, an AVI, Matroska (.mkv, .webm) or MP4 (.mp4,\n"
                  ".m4v, .mov) file told by its content, without changing it, and prints\n"
                  "where its damage begins as a line that split takes as its SIZE:\n"
                  "  Damage found at offset: N (Xh)\n"
                  "or says that no damage was found, or that FILE is in none of these formats\n"
                  "(exit status 1).\n");
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
                  "An older good part goes to the trash once the new one is whole, as a folder\n"
                  "in its place does. Where no trash can take it, a folder is never deleted\n"
                  "(exit status 75), and an older good part only with --yes.\n"
                  "\n"
                  "  -y, --yes   replace a read-only file or a folder that stands at the good\n"
                  "              part's path, or an older good part no trash can take;\n"
                  "              without it, split refuses (exit status 75)\n");
    }
    if (command == QStringLiteral("merge")) {
        return tr("Usage: saltwick-cli merge [--force] GOODPART...\n"
                  "       saltwick-cli merge [--force] --with NEWFILE GOODPART\n"
                  "Completes each good part (movie.QQQ) with the bytes of the file fetched\n"
                  "again (movie.avi) beyond its length, renames it to the fixed file\n"
                  "(movie-.avi) and prints the fixed file's path. Stops at the first good part\n"
                  "that cannot be merged.\n"
                  "\n"
                  "Before anything is written, the last bytes of the good part (up to 1 MiB)\n"
                  "are compared with the new file's bytes at the same positions. When they\n"
                  "differ, the new file is another file or another version, and merge refuses\n"
                  "(exit status 1). So it does when the new file is still the one the good part\n"
                  "was split from, when it is still being downloaded, and when it is damaged\n"
                  "after the join.\n"
                  "\n"
                  "A merge that was cut short (killed, a power cut, a disk that died) is given\n"
                  "back at the good part's old length by the next command in its folder.\n"
                  "\n"
                  "With --with, the new file is NEWFILE, of any name and format, and the fixed\n"
                  "file lies beside the good part, named by the good part's stem, \"-\" and\n"
                  "NEWFILE's extension (clip.QQQ --with refetched.mp4 gives clip-.mp4).\n"
                  "\n"
                  "  -f, --force   merge even when the new file does not match at the join, or is\n"
                  "                damaged after it\n");
    }
    if (command == QStringLiteral("fetch")) {
        return tr("Usage: saltwick-cli fetch [--output NAME] [--force] [--whole] [--retries N]\n"
                  "                          GOODPART URL\n"
                  "Completes the good part (movie.QQQ) with the bytes it lacks of the file at\n"
                  "URL (http or https), renames it to the fixed file (movie-.avi, or NAME in\n"
                  "the good part's folder) and prints the fixed file's path. The fixed name\n"
                  "never replaces a file.\n"
                  "\n"
                  "Only the bytes beyond the good part are asked for, and its last 1 MiB,\n"
                  "which must match: nothing is kept unless the server sends the part asked\n"
                  "for, of the same version of the file throughout. A broken connection is\n"
                  "resumed; a fetch that was killed goes on from what is on disk when it is\n"
                  "run again. Until the end the good part keeps its name; a refusal or Ctrl-C\n"
                  "gives it back as it was.\n"
                  "\n"
                  "  -o, --output NAME  the fixed file's name\n"
                  "  -f, --force        keep the bytes even when they do not match at the join\n"
                  "      --whole        let a server that ignores ranges send the whole file\n"
                  "                     through (exit status 80 without it)\n"
                  "      --retries N    resume a dropped connection up to N times in a row\n"
                  "                     (default 5)\n");
    }
    if (command == QStringLiteral("repair")) {
        return tr("Usage: saltwick-cli repair [--at SIZE] [--force] [--whole] [--retries N]\n"
                  "                           FILE URL\n"
                  "The whole repair of a broken download in one command: finds the damage in\n"
                  "FILE (or keeps SIZE bytes, read as split reads it), splits off the good\n"
                  "part as split does, fetches the rest from URL as fetch does, and prints the\n"
                  "path of the result: FILE's name with \"-\" before its extension (movie.avi\n"
                  "gives movie-.avi, film.mkv gives film-.mkv). A FILE without damage that is\n"
                  "shorter than the file at URL is a download that stopped early: all of it is\n"
                  "kept. FILE itself is never changed.\n"
                  "\n"
                  "  --at SIZE      keep SIZE bytes instead of scanning FILE for its damage\n"
                  "  -f, --force    keep the bytes even when they do not match at the join\n"
                  "  --whole        let a server that ignores ranges send the whole file\n"
                  "                 through\n"
                  "  --retries N    resume a dropped connection up to N times in a row\n");
    }
    return tr("Usage: saltwick-cli list [FOLDER]\n"
              "Prints the good parts in FOLDER (default: the current folder) whose file has\n"
              "been fetched again, one per line, ready for merge; a new file still being\n"
              "downloaded is not fetched again yet.\n");
}
