<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AviScanner</name>
    <message>
        <source>%1 is not an AVI file</source>
        <translation>%1 ist keine AVI-Datei</translation>
    </message>
    <message>
        <source>%1 chunk headers and %2 index entries</source>
        <translation>%1 Chunk-Köpfe und %2 Indexeinträge</translation>
    </message>
</context>
<context>
    <name>CommandLineTool</name>
    <message>
        <source>--version takes nothing else</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no command given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>help takes one of the commands %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--yes belongs to split</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--force belongs to merge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>scan takes one FILE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>split takes a FILE and a SIZE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>merge takes at least one GOODPART</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>list takes at most one FOLDER</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>try &apos;%1 --help&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: saltwick-cli COMMAND [OPTION]... ARGUMENT...
Repairs a large media file whose download went wrong part-way: split off its
good part, fetch the file again, merge the good part back.

Commands:
  scan FILE          say where the damage of an AVI file begins
  split FILE SIZE    copy the first SIZE bytes of FILE into its good part
                     (movie.avi gives movie.QQQ); SIZE may be an error line
  merge GOODPART...  complete each good part from the file fetched again
                     and give it the fixed name (movie-.avi)
  list [FOLDER]      the good parts of a folder whose file has been fetched
                     again (default: the current folder)

Options:
  -h, --help         show this help, or a command&apos;s help after the command
  -V, --version      show the version
  -y, --yes          split: replace what stands at the good part&apos;s path
  -f, --force        merge: merge even when the new file does not match the
                     good part at the join

Results go to standard output, one per line; messages go to standard error,
and so does a progress bar when standard error is a terminal.

Exit status:
   0  success
   1  refused, with the reason on standard error
   2  usage error
   5  invalid argument
   7  out of memory
  53  file not found
  57  device I/O error
  61  disk full
  70  permission denied
  75  path/file access error: something stands where a file must go
  76  path not found
 130  interrupted (SIGINT, SIGTERM or SIGHUP); nothing was left half-done
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: saltwick-cli scan FILE
Reads the structure of the AVI file FILE, without changing it, and prints
where its damage begins as a line that split takes as its SIZE:
  Damage found at offset: N (Xh)
or says that no damage was found, or that FILE is not an AVI file (exit
status 1).
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: saltwick-cli split [--yes] FILE SIZE
Copies the first bytes of FILE into its good part beside it (movie.avi
gives movie.QQQ) and prints the good part&apos;s path and length, separated by a
tab. FILE itself is never changed.

SIZE is a number of bytes, or a line that names the offset of the damage,
such as &quot;Error at offset: 1234567 (12D687h)&quot; or the line that scan prints:
then the good part ends 50000 bytes before that offset.

  -y, --yes   replace a read-only file or a folder that stands at the good
              part&apos;s path; without it, split refuses (exit status 75)
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: saltwick-cli merge [--force] GOODPART...
Completes each good part (movie.QQQ) with the bytes of the file fetched
again (movie.avi) beyond its length, renames it to the fixed file
(movie-.avi) and prints the fixed file&apos;s path. Stops at the first good part
that cannot be merged.

Before anything is written, the last bytes of the good part (up to 1 MiB)
are compared with the new file&apos;s bytes at the same positions. When they
differ, the new file is another file or another version, and merge refuses
(exit status 1).

  -f, --force   merge even when the new file does not match at the join
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: saltwick-cli list [FOLDER]
Prints the good parts in FOLDER (default: the current folder) whose file has
been fetched again, one per line, ready for merge.
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ErrorOffset</name>
    <message>
        <source>Incorrect split size</source>
        <translation>Ungültige Teilgröße</translation>
    </message>
</context>
<context>
    <name>FileProbe</name>
    <message>
        <source>%1 is a folder, not a file</source>
        <translation>%1 ist ein Ordner, keine Datei</translation>
    </message>
    <message>
        <source>%1 is not a plain file</source>
        <translation>%1 ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>The name %1 cannot be handled: it is not valid text. Please rename the file.</source>
        <translation>Der Name %1 kann nicht verarbeitet werden: Er ist kein gültiger Text. Bitte benennen Sie die Datei um.</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>Split size</source>
        <translation>Teilgröße</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>1. Copying the good part into a seperate file</source>
        <translation>1. Den guten Teil in eine eigene Datei kopieren</translation>
    </message>
    <message>
        <source> Error offset:</source>
        <translation> Fehler bei Offset:</translation>
    </message>
    <message>
        <source>2. Resuming the broken part of the file (your job)</source>
        <translation>2. Den Rest der Datei neu holen (Ihre Aufgabe)</translation>
    </message>
    <message>
        <source>3. Merging back with the original file</source>
        <translation>3. Mit der Originaldatei zusammenfügen</translation>
    </message>
    <message>
        <source>No files to split</source>
        <translation>Keine Dateien zum Teilen</translation>
    </message>
    <message>
        <source>Copy progress</source>
        <translation>Fortschritt des Kopierens</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Teilen</translation>
    </message>
    <message>
        <source>Merge Back</source>
        <translation>Anfügen</translation>
    </message>
    <message>
        <source>Good parts ready to merge</source>
        <translation>Gute Teile, bereit zum Anfügen</translation>
    </message>
    <message>
        <source>No file loaded.</source>
        <translation>Keine Datei geladen.</translation>
    </message>
    <message>
        <source>Making a new file, please wait...</source>
        <translation>Neue Datei wird erstellt, bitte warten...</translation>
    </message>
    <message>
        <source>No file to load</source>
        <translation>Keine Datei zum Laden</translation>
    </message>
    <message>
        <source>Output Directory</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Find the damage</source>
        <translation>Schaden finden</translation>
    </message>
    <message>
        <source>The error offset or the size of the good part; Ctrl+F finds the damage itself</source>
        <translation>Der Offset des Fehlers oder die Größe des guten Teils; Strg+F findet den Schaden selbst</translation>
    </message>
    <message>
        <source>Merge anyway?</source>
        <translation>Trotzdem anfügen?</translation>
    </message>
    <message>
        <source>Looking for the damage, please wait...</source>
        <translation>Schaden wird gesucht, bitte warten...</translation>
    </message>
    <message>
        <source>Damage found at byte %1; press Split to keep the part before it</source>
        <translation>Schaden bei Byte %1 gefunden; Teilen behält den Teil davor</translation>
    </message>
    <message>
        <source>Merging good parts. Please wait...</source>
        <translation>Gute Teile werden angefügt. Bitte warten...</translation>
    </message>
    <message>
        <source>Merge complete. %1 is the fixed file.</source>
        <translation>Anfügen abgeschlossen. %1 ist die reparierte Datei.</translation>
    </message>
</context>
<context>
    <name>GoodPartSplit</name>
    <message>
        <source>File doesn&apos;t exist</source>
        <translation>Die Datei existiert nicht</translation>
    </message>
    <message>
        <source>Split size is larger than the file</source>
        <translation>Die Teilgröße ist größer als die Datei</translation>
    </message>
    <message>
        <source>This file already has the good part&apos;s name, and Split would overwrite it. Please rename it first.</source>
        <translation>Diese Datei trägt schon den Namen des guten Teils, und Teilen würde sie überschreiben. Bitte benennen Sie sie zuerst um.</translation>
    </message>
    <message>
        <source>Split folder already exist. Would you like to overwrite it?</source>
        <translation>Der Teilordner existiert bereits. Möchten Sie ihn überschreiben?</translation>
    </message>
    <message>
        <source>Invalid argument: the name %1 is too short for a good part</source>
        <translation>Ungültiges Argument: Der Name %1 ist für einen guten Teil zu kurz</translation>
    </message>
    <message>
        <source>Disk full: the good part needs %1 bytes, %2 are free</source>
        <translation>Datenträger voll: Der gute Teil braucht %1 Bytes, frei sind %2</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is a folder</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist ein Ordner</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is a symbolic link</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist ein symbolischer Link</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is not a plain file</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>Path/file access error: %1 changed while it was being checked</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 hat sich während der Prüfung geändert</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is in use by another Saltwick</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 wird von einem anderen Saltwick benutzt</translation>
    </message>
    <message>
        <source>Path/file access error: %1 cannot be written</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Path/file access error: %1 could not be written</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Path/file access error: %1 appeared while the good part was being written; it was left as it is</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist entstanden, während der gute Teil geschrieben wurde; die Datei blieb, wie sie ist</translation>
    </message>
    <message>
        <source>Path/file access error: %1 holds folders of its own</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 enthält selbst Ordner</translation>
    </message>
</context>
<context>
    <name>MediaScanner</name>
    <message>
        <source>No damage found in %1</source>
        <translation>Kein Schaden in %1 gefunden</translation>
    </message>
    <message>
        <source>%1 is not a file Saltwick can read: AVI, Matroska and MP4 can be checked</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MergeBack</name>
    <message>
        <source>Invalid argument: %1 is too short a name for a good part</source>
        <translation>Ungültiges Argument: %1 ist als Name eines guten Teils zu kurz</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is not a plain file</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is a symbolic link</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist ein symbolischer Link</translation>
    </message>
    <message>
        <source>Path/file access error: %1 has other names (hard links); merging would change them too</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 hat weitere Namen (harte Links); das Anfügen würde auch sie ändern</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is in use by another Saltwick</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 wird von einem anderen Saltwick benutzt</translation>
    </message>
    <message>
        <source>File not found: %1 was removed during the merge</source>
        <translation>Datei nicht gefunden: %1 wurde während des Anfügens entfernt</translation>
    </message>
    <message>
        <source>Path/file access error: %1 was replaced during the merge</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 wurde während des Anfügens ersetzt</translation>
    </message>
    <message>
        <source>Path/file access error: the fixed file %1 already exists</source>
        <translation>Pfad-/Dateizugriffsfehler: Die reparierte Datei %1 existiert bereits</translation>
    </message>
    <message>
        <source>The name %1 is too long for the file system</source>
        <translation>Der Name %1 ist für das Dateisystem zu lang</translation>
    </message>
    <message>
        <source>Disk full: the merge needs %1 more bytes, %2 are free</source>
        <translation>Datenträger voll: Das Anfügen braucht %1 Bytes mehr, frei sind %2</translation>
    </message>
    <message>
        <source>Avi shorter than QQQ</source>
        <translation>AVI kürzer als QQQ</translation>
    </message>
    <message>
        <source>The new %1 does not match the good part before byte %2. It may be another file or another version.</source>
        <translation>Die neue Datei %1 stimmt vor Byte %2 nicht mit dem guten Teil überein. Es ist womöglich eine andere Datei oder eine andere Fassung.</translation>
    </message>
</context>
<context>
    <name>Mp4Scanner</name>
    <message>
        <source>%1 is not an MP4 or QuickTime file</source>
        <translation>%1 ist keine MP4- oder QuickTime-Datei</translation>
    </message>
    <message>
        <source>%1 boxes; the file ends before its sample index, so no sample before its end could be checked</source>
        <translation>%1 Boxen; die Datei endet vor ihrem Sample-Index, daher konnte kein Sample vor ihrem Ende geprüft werden</translation>
    </message>
    <message>
        <source>%1 boxes and %2 samples, %3 of them to their NAL units</source>
        <translation>%1 Boxen und %2 Samples, %3 davon bis in ihre NAL-Einheiten</translation>
    </message>
</context>
<context>
    <name>PieceCopier</name>
    <message>
        <source>The copy to %1 was stopped before its end</source>
        <translation>Das Kopieren nach %1 wurde vor dem Ende abgebrochen</translation>
    </message>
</context>
<context>
    <name>RawFile</name>
    <message>
        <source>%1 ended before the expected length; it may have changed meanwhile</source>
        <translation>%1 endete vor der erwarteten Länge; die Datei wurde womöglich inzwischen geändert</translation>
    </message>
</context>
<context>
    <name>Repair</name>
    <message>
        <source>%1 is not a good part: its name does not end in QQQ</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RepairCommands</name>
    <message>
        <source>Interrupted; nothing was left half-done.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give --yes to replace it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give --force to merge it anyway.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RepairFailure</name>
    <message>
        <source>File not found: %1</source>
        <translation>Datei nicht gefunden: %1</translation>
    </message>
    <message>
        <source>Path not found: %1</source>
        <translation>Pfad nicht gefunden: %1</translation>
    </message>
    <message>
        <source>Disk full while writing %1</source>
        <translation>Datenträger voll beim Schreiben von %1</translation>
    </message>
    <message>
        <source>Permission denied: %1</source>
        <translation>Zugriff verweigert: %1</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <source>Path/file access error: %1</source>
        <translation>Pfad-/Dateizugriffsfehler: %1</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is a symbolic link</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist ein symbolischer Link</translation>
    </message>
    <message>
        <source>The name %1 is too long for the file system</source>
        <translation>Der Name %1 ist für das Dateisystem zu lang</translation>
    </message>
    <message>
        <source>Invalid argument: %1</source>
        <translation>Ungültiges Argument: %1</translation>
    </message>
    <message>
        <source>Device I/O error on %1 (%2)</source>
        <translation>Ein-/Ausgabefehler des Geräts bei %1 (%2)</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Usage: saltwick [FILE]
Keeps the good part of a broken download and merges it back with the file
fetched again.

  FILE       the damaged file to load, or a good part to list for merging;
             the whole rest of the command line is one path, blanks and all
  --help     show this help and exit
  --version  show the version and exit
</source>
        <translation>Aufruf: saltwick [DATEI]
Behält den guten Teil eines abgebrochenen Downloads und fügt ihn mit der neu
geholten Datei zusammen.

  DATEI      die beschädigte Datei zum Laden oder ein guter Teil zum Anfügen;
             der ganze Rest der Befehlszeile ist ein Pfad, mit Leerzeichen
  --help     diese Hilfe zeigen und beenden
  --version  die Version zeigen und beenden
</translation>
    </message>
</context>
<context>
    <name>CommandLineTool</name>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>%1 takes no value</source>
        <translation>%1 nimmt keinen Wert</translation>
    </message>
    <message>
        <source>%1 takes %2</source>
        <translation>%1 verlangt %2</translation>
    </message>
</context>
<context>
    <name>RepairCommands</name>
    <message>
        <source>Not a plain, visible file: %1</source>
        <translation>Keine gewöhnliche, sichtbare Datei: %1</translation>
    </message>
</context>
</TS>
