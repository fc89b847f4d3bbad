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
        <translation>--version nimmt nichts weiter</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>kein Befehl angegeben</translation>
    </message>
    <message>
        <source>help takes one of the commands %1</source>
        <translation>help nimmt einen der Befehle %1</translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;</source>
        <translation>unbekannter Befehl &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--yes belongs to split</source>
        <translation>--yes gehört zu split</translation>
    </message>
    <message>
        <source>scan takes one FILE</source>
        <translation>scan nimmt eine DATEI</translation>
    </message>
    <message>
        <source>split takes a FILE and a SIZE</source>
        <translation>split nimmt eine DATEI und eine GRÖSSE</translation>
    </message>
    <message>
        <source>merge takes at least one GOODPART</source>
        <translation>merge nimmt mindestens einen GUTER-TEIL</translation>
    </message>
    <message>
        <source>list takes at most one FOLDER</source>
        <translation>list nimmt höchstens einen ORDNER</translation>
    </message>
    <message>
        <source>try &apos;%1 --help&apos;</source>
        <translation>siehe &apos;%1 --help&apos;</translation>
    </message>
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
    <message>
        <source>--force belongs to merge, fetch and repair</source>
        <translation>--force gehört zu merge, fetch und repair</translation>
    </message>
    <message>
        <source>--with belongs to merge</source>
        <translation>--with gehört zu merge</translation>
    </message>
    <message>
        <source>--output belongs to fetch</source>
        <translation>--output gehört zu fetch</translation>
    </message>
    <message>
        <source>--at belongs to repair</source>
        <translation>--at gehört zu repair</translation>
    </message>
    <message>
        <source>--whole and --retries belong to fetch and repair</source>
        <translation>--whole und --retries gehören zu fetch und repair</translation>
    </message>
    <message>
        <source>--retries takes a whole number of at least 0</source>
        <translation>--retries nimmt eine ganze Zahl ab 0</translation>
    </message>
    <message>
        <source>merge --with takes one GOODPART</source>
        <translation>merge --with nimmt einen GUTER-TEIL</translation>
    </message>
    <message>
        <source>fetch takes a GOODPART and a URL</source>
        <translation>fetch nimmt einen GUTER-TEIL und eine URL</translation>
    </message>
    <message>
        <source>repair takes a FILE and a URL</source>
        <translation>repair nimmt eine DATEI und eine URL</translation>
    </message>
    <message>
        <source>--at takes a SIZE</source>
        <translation>--at nimmt eine GRÖSSE</translation>
    </message>
    <message>
        <source>Usage: saltwick-cli split [--yes] FILE SIZE
Copies the first bytes of FILE into its good part beside it (movie.avi
gives movie.QQQ) and prints the good part&apos;s path and length, separated by a
tab. FILE itself is never changed.

SIZE is a number of bytes, or a line that names the offset of the damage,
such as &quot;Error at offset: 1234567 (12D687h)&quot; or the line that scan prints:
then the good part ends 50000 bytes before that offset.

An older good part goes to the trash once the new one is whole, as a folder
in its place does. Where no trash can take it, a folder is never deleted
(exit status 75), and an older good part only with --yes.

  -y, --yes   replace a read-only file or a folder that stands at the good
              part&apos;s path, or an older good part no trash can take;
              without it, split refuses (exit status 75)
</source>
        <translation>Aufruf: saltwick-cli split [--yes] DATEI GRÖSSE
Kopiert die ersten Bytes von DATEI in ihren guten Teil daneben (movie.avi
ergibt movie.QQQ) und gibt Pfad und Länge des guten Teils aus, getrennt durch
einen Tabulator. DATEI selbst wird nie verändert.

GRÖSSE ist eine Anzahl Bytes oder eine Zeile, die den Offset des Schadens
nennt, etwa &quot;Error at offset: 1234567 (12D687h)&quot; oder die Zeile von scan:
Dann endet der gute Teil 50000 Bytes vor diesem Offset.

Ein älterer guter Teil kommt in den Papierkorb, sobald der neue vollständig
ist, wie ein Ordner an seiner Stelle. Wo kein Papierkorb ihn aufnimmt, wird
ein Ordner nie gelöscht (Exit-Status 75), ein älterer guter Teil nur mit --yes.

  -y, --yes   eine schreibgeschützte Datei oder einen Ordner am Pfad des guten
              Teils ersetzen, oder einen älteren guten Teil, den kein
              Papierkorb aufnimmt; ohne die Option lehnt split ab
              (Exit-Status 75)
</translation>
    </message>
    <message>
        <source>Usage: saltwick-cli merge [--force] GOODPART...
       saltwick-cli merge [--force] --with NEWFILE GOODPART
Completes each good part (movie.QQQ) with the bytes of the file fetched
again (movie.avi) beyond its length, renames it to the fixed file
(movie-.avi) and prints the fixed file&apos;s path. Stops at the first good part
that cannot be merged.

Before anything is written, the last bytes of the good part (up to 1 MiB)
are compared with the new file&apos;s bytes at the same positions. When they
differ, the new file is another file or another version, and merge refuses
(exit status 1). So it does when the new file is still the one the good part
was split from, when it is still being downloaded, and when it is damaged
after the join.

A merge that was cut short (killed, a power cut, a disk that died) is given
back at the good part&apos;s old length by the next command in its folder.

With --with, the new file is NEWFILE, of any name and format, and the fixed
file lies beside the good part, named by the good part&apos;s stem, &quot;-&quot; and
NEWFILE&apos;s extension (clip.QQQ --with refetched.mp4 gives clip-.mp4).

  -f, --force   merge even when the new file does not match at the join, or is
                damaged after it
</source>
        <translation>Aufruf: saltwick-cli merge [--force] GUTER-TEIL...
        saltwick-cli merge [--force] --with NEUE-DATEI GUTER-TEIL
Ergänzt jeden guten Teil (movie.QQQ) um die Bytes der neu geholten Datei
(movie.avi) jenseits seiner Länge, benennt ihn in die reparierte Datei
(movie-.avi) um und gibt den Pfad der reparierten Datei aus. Hält beim ersten
guten Teil an, der sich nicht anfügen lässt.

Bevor etwas geschrieben wird, werden die letzten Bytes des guten Teils (bis zu
1 MiB) mit den Bytes der neuen Datei an denselben Stellen verglichen. Weichen
sie ab, ist die neue Datei eine andere Datei oder eine andere Fassung, und
merge lehnt ab (Exit-Status 1). Ebenso, wenn die neue Datei noch die ist, aus
der der gute Teil abgetrennt wurde, wenn sie noch heruntergeladen wird und
wenn sie nach der Nahtstelle beschädigt ist.

Ein abgebrochenes Anfügen (beendet, Stromausfall, ein ausgefallenes Laufwerk)
wird vom nächsten Befehl in seinem Ordner auf die alte Länge des guten Teils
zurückgesetzt.

Mit --with ist die neue Datei NEUE-DATEI, mit beliebigem Namen und Format;
die reparierte Datei liegt neben dem guten Teil, ihr Name ist dessen Stamm,
&quot;-&quot; und Endung von NEUE-DATEI (clip.QQQ --with refetched.mp4 ergibt clip-.mp4).

  -f, --force   anfügen, auch wenn die neue Datei an der Nahtstelle nicht passt
                oder danach beschädigt ist
</translation>
    </message>
    <message>
        <source>Usage: saltwick-cli fetch [--output NAME] [--force] [--whole] [--retries N]
                          GOODPART URL
Completes the good part (movie.QQQ) with the bytes it lacks of the file at
URL (http or https), renames it to the fixed file (movie-.avi, or NAME in
the good part&apos;s folder) and prints the fixed file&apos;s path. The fixed name
never replaces a file.

Only the bytes beyond the good part are asked for, and its last 1 MiB,
which must match: nothing is kept unless the server sends the part asked
for, of the same version of the file throughout. A broken connection is
resumed; a fetch that was killed goes on from what is on disk when it is
run again. Until the end the good part keeps its name; a refusal or Ctrl-C
gives it back as it was.

  -o, --output NAME  the fixed file&apos;s name
  -f, --force        keep the bytes even when they do not match at the join
      --whole        let a server that ignores ranges send the whole file
                     through (exit status 80 without it)
      --retries N    resume a dropped connection up to N times in a row
                     (default 5)
</source>
        <translation>Aufruf: saltwick-cli fetch [--output NAME] [--force] [--whole] [--retries N]
                           GUTER-TEIL URL
Ergänzt den guten Teil (movie.QQQ) um die Bytes der Datei unter URL (http
oder https), die ihm fehlen, benennt ihn in die reparierte Datei (movie-.avi
oder NAME im Ordner des guten Teils) um und gibt den Pfad der reparierten
Datei aus. Der reparierte Name ersetzt nie eine Datei.

Verlangt werden nur die Bytes jenseits des guten Teils und sein letztes MiB,
das passen muss: Nichts wird behalten, wenn der Server nicht den verlangten
Teil sendet, durchgehend von derselben Fassung der Datei. Eine abgebrochene
Verbindung wird fortgesetzt; ein gewaltsam beendetes fetch macht beim nächsten
Aufruf mit dem weiter, was auf dem Datenträger liegt. Bis zum Ende behält der
gute Teil seinen Namen; eine Ablehnung oder Strg-C stellt ihn wieder her.

  -o, --output NAME  der Name der reparierten Datei
  -f, --force        die Bytes behalten, auch wenn die Nahtstelle nicht passt
      --whole        einen Server, der Bereiche ignoriert, die ganze Datei
                     senden lassen (ohne die Option Exit-Status 80)
      --retries N    eine abgebrochene Verbindung bis zu N-mal in Folge
                     fortsetzen (Vorgabe 5)
</translation>
    </message>
    <message>
        <source>Usage: saltwick-cli repair [--at SIZE] [--force] [--whole] [--retries N]
                           FILE URL
The whole repair of a broken download in one command: finds the damage in
FILE (or keeps SIZE bytes, read as split reads it), splits off the good
part as split does, fetches the rest from URL as fetch does, and prints the
path of the result: FILE&apos;s name with &quot;-&quot; before its extension (movie.avi
gives movie-.avi, film.mkv gives film-.mkv). A FILE without damage that is
shorter than the file at URL is a download that stopped early: all of it is
kept. FILE itself is never changed.

  --at SIZE      keep SIZE bytes instead of scanning FILE for its damage
  -f, --force    keep the bytes even when they do not match at the join
  --whole        let a server that ignores ranges send the whole file
                 through
  --retries N    resume a dropped connection up to N times in a row
</source>
        <translation>Aufruf: saltwick-cli repair [--at GRÖSSE] [--force] [--whole] [--retries N]
                            DATEI URL
Die ganze Reparatur eines abgebrochenen Downloads in einem Befehl: findet den
Schaden in DATEI (oder behält GRÖSSE Bytes, gelesen wie bei split), trennt den
guten Teil ab wie split, holt den Rest von URL wie fetch und gibt den Pfad des
Ergebnisses aus: den Namen von DATEI mit &quot;-&quot; vor der Endung (movie.avi ergibt
movie-.avi, film.mkv ergibt film-.mkv). Eine DATEI ohne Schaden, die kürzer
ist als die Datei unter URL, ist ein vorzeitig beendeter Download: Sie wird
ganz behalten. DATEI selbst wird nie verändert.

  --at GRÖSSE    GRÖSSE Bytes behalten, statt den Schaden in DATEI zu suchen
  -f, --force    die Bytes behalten, auch wenn die Nahtstelle nicht passt
  --whole        einen Server, der Bereiche ignoriert, die ganze Datei senden
                 lassen
  --retries N    eine abgebrochene Verbindung bis zu N-mal in Folge fortsetzen
</translation>
    </message>
    <message>
        <source>Usage: saltwick-cli list [FOLDER]
Prints the good parts in FOLDER (default: the current folder) whose file has
been fetched again, one per line, ready for merge; a new file still being
downloaded is not fetched again yet.
</source>
        <translation>Aufruf: saltwick-cli list [ORDNER]
Gibt die guten Teile in ORDNER (Vorgabe: der aktuelle Ordner) aus, deren Datei
neu geholt wurde, einen pro Zeile, bereit für merge; eine neue Datei, die noch
heruntergeladen wird, gilt noch nicht als neu geholt.
</translation>
    </message>
    <message>
        <source>Usage: saltwick-cli COMMAND [OPTION]... ARGUMENT...
Repairs a large media file whose download went wrong part-way: split off its
good part, fetch the file again, merge the good part back.

Commands:
  scan FILE          say where the damage of an AVI, Matroska or MP4 file
                     begins
  split FILE SIZE    copy the first SIZE bytes of FILE into its good part
                     (movie.avi gives movie.QQQ); SIZE may be an error line
  merge GOODPART...  complete each good part from the file fetched again
                     and give it the fixed name (movie-.avi)
  merge --with NEWFILE GOODPART
                     complete the good part from NEWFILE, whatever its name
                     (clip.QQQ and new.mp4 give clip-.mp4)
  fetch GOODPART URL complete the good part with the bytes it lacks of the
                     file at URL, and give it the fixed name
  repair FILE URL    the whole repair: split FILE before its damage, fetch
                     the rest from URL (movie.avi gives movie-.avi)
  list [FOLDER]      the good parts of a folder whose file has been fetched
                     again (default: the current folder)

Options:
  -h, --help         show this help, or a command&apos;s help after the command
  -V, --version      show the version
  -y, --yes          split: replace what stands at the good part&apos;s path
  -f, --force        merge, fetch, repair: go on even when the new bytes do
                     not match the good part at the join
  -o, --output NAME  fetch: the fixed file&apos;s name, in the good part&apos;s folder
      --at SIZE      repair: keep SIZE bytes instead of scanning for the damage
      --whole        fetch, repair: let a server that ignores ranges send the
                     whole file through; only the missing bytes are kept
      --retries N    fetch, repair: resume a dropped connection up to N times
                     in a row (default 5)
  -q, --quiet        no progress bar and no messages but errors

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
  80  the server did not serve the file as asked: a wrong answer, a changed
      file, a connection that kept breaking, no server at the address
 129  ended by SIGHUP, 130 by SIGINT (Ctrl-C), 143 by SIGTERM; the copy or
      fetch stopped at its next piece and nothing was left half-done
</source>
        <translation>Aufruf: saltwick-cli BEFEHL [OPTION]... ARGUMENT...
Repariert eine große Mediendatei, deren Download unterwegs schiefging: den
guten Teil abtrennen, die Datei neu holen, den guten Teil wieder anfügen.

Befehle:
  scan DATEI           sagen, wo der Schaden einer AVI-, Matroska- oder
                       MP4-Datei beginnt
  split DATEI GRÖSSE   die ersten GRÖSSE Bytes von DATEI in ihren guten Teil
                       kopieren (movie.avi ergibt movie.QQQ); GRÖSSE darf
                       auch eine Fehlerzeile sein
  merge GUTER-TEIL...  jeden guten Teil aus der neu geholten Datei ergänzen
                       und ihm den reparierten Namen geben (movie-.avi)
  merge --with NEUE-DATEI GUTER-TEIL
                       den guten Teil aus NEUE-DATEI ergänzen, egal wie sie
                       heißt (clip.QQQ und new.mp4 ergeben clip-.mp4)
  fetch GUTER-TEIL URL den guten Teil um die ihm fehlenden Bytes der Datei
                       unter URL ergänzen und ihm den reparierten Namen geben
  repair DATEI URL     die ganze Reparatur: DATEI vor ihrem Schaden teilen,
                       den Rest von URL holen (movie.avi ergibt movie-.avi)
  list [ORDNER]        die guten Teile eines Ordners, deren Datei neu geholt
                       wurde (Vorgabe: der aktuelle Ordner)

Optionen:
  -h, --help           diese Hilfe zeigen, nach einem Befehl dessen Hilfe
  -V, --version        die Version zeigen
  -y, --yes            split: ersetzen, was am Pfad des guten Teils steht
  -f, --force          merge, fetch, repair: weitermachen, auch wenn die neuen
                       Bytes an der Nahtstelle nicht zum guten Teil passen
  -o, --output NAME    fetch: der reparierte Name, im Ordner des guten Teils
      --at GRÖSSE      repair: GRÖSSE Bytes behalten statt Schadenssuche
      --whole          fetch, repair: einen Server, der Bereiche ignoriert, die
                       ganze Datei senden lassen; nur fehlende Bytes bleiben
      --retries N      fetch, repair: eine abgebrochene Verbindung bis zu N-mal
                       in Folge fortsetzen (Vorgabe 5)
  -q, --quiet          kein Fortschrittsbalken, keine Meldungen außer Fehlern

Ergebnisse gehen auf die Standardausgabe, eins pro Zeile; Meldungen auf die
Standardfehlerausgabe, ist sie ein Terminal, auch ein Fortschrittsbalken.

Exit-Status:
   0  Erfolg
   1  abgelehnt, mit dem Grund auf der Standardfehlerausgabe
   2  Fehler im Aufruf
   5  ungültiges Argument
   7  nicht genügend Arbeitsspeicher
  53  Datei nicht gefunden
  57  Ein-/Ausgabefehler des Geräts
  61  Datenträger voll
  70  Zugriff verweigert
  75  Pfad-/Dateizugriffsfehler: Etwas steht, wo eine Datei hin muss
  76  Pfad nicht gefunden
  80  der Server lieferte die Datei nicht wie verlangt: falsche Antwort,
      geänderte Datei, Verbindungsabbrüche, kein Server unter der Adresse
 129  beendet durch SIGHUP, 130 durch SIGINT (Strg-C), 143 durch SIGTERM; das
      Kopieren oder Holen hielt am nächsten Stück an, nichts blieb halb fertig
</translation>
    </message>
    <message>
        <source>Usage: saltwick-cli scan FILE
Reads the structure of FILE, an AVI, Matroska (.mkv, .webm) or MP4 (.mp4,
.m4v, .mov) file told by its content, without changing it, and prints
where its damage begins as a line that split takes as its SIZE:
  Damage found at offset: N (Xh)
or says that no damage was found, or that FILE is in none of these formats
(exit status 1).
</source>
        <translation>Aufruf: saltwick-cli scan DATEI
Liest den Aufbau von DATEI, einer AVI-, Matroska- (.mkv, .webm) oder MP4-Datei
(.mp4, .m4v, .mov), am Inhalt erkannt, ohne sie zu verändern, und gibt aus,
wo ihr Schaden beginnt, als Zeile, die split als GRÖSSE nimmt:
  Damage found at offset: N (Xh)
oder sagt, dass kein Schaden gefunden wurde oder dass DATEI in keinem dieser
Formate ist (Exit-Status 1).
</translation>
    </message>
</context>
<context>
    <name>CompanionCheck</name>
    <message>
        <source>%1 is still being downloaded; merge it once the download has finished.</source>
        <translation>%1 wird noch heruntergeladen; fügen Sie sie an, sobald der Download beendet ist.</translation>
    </message>
    <message>
        <source>%1 has not been fetched again yet: it is still the damaged file the good part was split from.</source>
        <translation>%1 wurde noch nicht neu geholt: Es ist noch die beschädigte Datei, aus der der gute Teil abgetrennt wurde.</translation>
    </message>
    <message>
        <source>%1 changed while it was being merged: it is still being downloaded. The good part was left as it was.</source>
        <translation>%1 hat sich beim Anfügen verändert: Sie wird noch heruntergeladen. Der gute Teil blieb, wie er war.</translation>
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
    <message>
        <source>The current folder cannot be found: it was removed, or its path is too long</source>
        <translation>Der aktuelle Ordner ist nicht zu finden: Er wurde entfernt, oder sein Pfad ist zu lang</translation>
    </message>
    <message>
        <source>%1 cannot be found: the current folder was removed, or its path is too long. Please give its full path.</source>
        <translation>%1 ist nicht zu finden: Der aktuelle Ordner wurde entfernt, oder sein Pfad ist zu lang. Bitte geben Sie den vollständigen Pfad an.</translation>
    </message>
</context>
<context>
    <name>Folder</name>
    <message>
        <source>Permission denied: %1 belongs to another user, and in this folder only they may rename it</source>
        <translation>Zugriff verweigert: %1 gehört einem anderen Benutzer, und in diesem Ordner darf nur er die Datei umbenennen</translation>
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
    <message>
        <source>Fetch the rest from a web address...</source>
        <translation>Den Rest von einer Webadresse holen...</translation>
    </message>
    <message>
        <source>Replace it anyway?</source>
        <translation>Trotzdem ersetzen?</translation>
    </message>
    <message>
        <source>The web address to fetch the rest of %1 from:</source>
        <translation>Die Webadresse, von der der Rest von %1 geholt werden soll:</translation>
    </message>
    <message>
        <source>Fetching the rest of %1. Please wait...</source>
        <translation>Der Rest von %1 wird geholt. Bitte warten...</translation>
    </message>
    <message>
        <source>Let the whole file stream through? Only the missing bytes are kept.</source>
        <translation>Die ganze Datei durchlaufen lassen? Nur die fehlenden Bytes werden behalten.</translation>
    </message>
</context>
<context>
    <name>GoodPartRecord</name>
    <message>
        <source>Path/file access error: the length of %1 could not be recorded</source>
        <translation>Pfad-/Dateizugriffsfehler: Die Länge von %1 konnte nicht festgehalten werden</translation>
    </message>
    <message>
        <source>%1 could not be given back as it was before a merge that was cut short: %2</source>
        <translation>%1 konnte nicht in den Stand vor einem abgebrochenen Anfügen zurückgesetzt werden: %2</translation>
    </message>
    <message>
        <source>A merge of %1 was cut short; the good part was given back as it was before, %2 bytes long.</source>
        <translation>Das Anfügen an %1 wurde abgebrochen; der gute Teil wurde auf den Stand davor zurückgesetzt, %2 Bytes lang.</translation>
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
        <source>No trash is available for %1 there, so it was left as it is; nothing was changed.</source>
        <translation>Dort steht für %1 kein Papierkorb zur Verfügung, also blieb es, wie es war; nichts wurde verändert.</translation>
    </message>
    <message>
        <source>No trash is available for the older %1 there, so Split would replace it for good.</source>
        <translation>Dort steht für den älteren %1 kein Papierkorb zur Verfügung, also würde Teilen ihn endgültig ersetzen.</translation>
    </message>
</context>
<context>
    <name>HeldGoodPart</name>
    <message>
        <source>Path/file access error: %1 is a symbolic link</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist ein symbolischer Link</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is not a plain file</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>Path/file access error: %1 has other names (hard links); completing it would change them too</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 hat weitere Namen (harte Links); das Ergänzen würde auch sie ändern</translation>
    </message>
    <message>
        <source>Path/file access error: %1 is in use by another Saltwick</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 wird von einem anderen Saltwick benutzt</translation>
    </message>
    <message>
        <source>File not found: %1 was removed meanwhile</source>
        <translation>Datei nicht gefunden: %1 wurde inzwischen entfernt</translation>
    </message>
    <message>
        <source>Path/file access error: %1 was replaced meanwhile</source>
        <translation>Pfad-/Dateizugriffsfehler: %1 wurde inzwischen ersetzt</translation>
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
        <source>Disk full: %1 needs %2 more bytes, %3 are free</source>
        <translation>Datenträger voll: %1 braucht %2 Bytes mehr, frei sind %3</translation>
    </message>
</context>
<context>
    <name>MatroskaScanner</name>
    <message>
        <source>%1 is not a Matroska or WebM file</source>
        <translation>%1 ist keine Matroska- oder WebM-Datei</translation>
    </message>
    <message>
        <source>%1 elements, %2 blocks and %3 checksums</source>
        <translation>%1 Elemente, %2 Blöcke und %3 Prüfsummen</translation>
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
        <translation>%1 ist keine Datei, die Saltwick lesen kann: AVI, Matroska und MP4 lassen sich prüfen</translation>
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
    <message>
        <source>The new %1 is damaged too, at byte %2.</source>
        <translation>Die neue %1 ist ebenfalls beschädigt, bei Byte %2.</translation>
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
    <name>RemoteFetch</name>
    <message>
        <source>The file at %1 changed on the server while it was being fetched; bytes of two versions are never joined</source>
        <translation>Die Datei unter %1 hat sich auf dem Server geändert, während sie geholt wurde; Bytes zweier Fassungen werden nie zusammengefügt</translation>
    </message>
    <message>
        <source>The server at %1 sent no answer to judge</source>
        <translation>Der Server unter %1 hat keine Antwort gesendet, die sich beurteilen ließe</translation>
    </message>
    <message>
        <source>The server at %1 ended its answer at byte %2, before the byte %3 it announced</source>
        <translation>Der Server unter %1 hat seine Antwort bei Byte %2 beendet, vor dem angekündigten Byte %3</translation>
    </message>
    <message>
        <source>The server at %1 sent no bytes beyond byte %2</source>
        <translation>Der Server unter %1 hat keine Bytes über Byte %2 hinaus gesendet</translation>
    </message>
    <message>
        <source>The address %1 was redirected more than %2 times</source>
        <translation>Die Adresse %1 wurde mehr als %2-mal umgeleitet</translation>
    </message>
    <message>
        <source>The server at %1 cannot be reached: %2</source>
        <translation>Der Server unter %1 ist nicht erreichbar: %2</translation>
    </message>
    <message>
        <source>The connection to %1 broke %2 times in a row (%3); the %4 bytes fetched so far are kept for the next run</source>
        <translation>Die Verbindung zu %1 ist %2-mal in Folge abgebrochen (%3); die %4 bisher geholten Bytes bleiben für den nächsten Lauf erhalten</translation>
    </message>
    <message>
        <source>%1 cannot be fetched: %2</source>
        <translation>%1 kann nicht geholt werden: %2</translation>
    </message>
    <message>
        <source>The server at %1 sent the file compressed (%2), not as its bytes</source>
        <translation>Der Server unter %1 hat die Datei komprimiert (%2) gesendet statt unverändert</translation>
    </message>
    <message>
        <source>The file at %1 is not longer than the good part %2: the server has no bytes from byte %3 on</source>
        <translation>Die Datei unter %1 ist nicht länger als der gute Teil %2: Der Server hat keine Bytes ab Byte %3</translation>
    </message>
    <message>
        <source>The server at %1 answered with HTTP status %2 instead of the file&apos;s bytes</source>
        <translation>Der Server unter %1 hat mit HTTP-Status %2 statt mit den Bytes der Datei geantwortet</translation>
    </message>
    <message>
        <source>The server at %1 sent part of the file without saying which part (Content-Range: %2)</source>
        <translation>Der Server unter %1 hat einen Teil der Datei gesendet, ohne zu sagen, welchen (Content-Range: %2)</translation>
    </message>
    <message>
        <source>The server at %1 sent the bytes from byte %2 on when asked for those from byte %3 on</source>
        <translation>Der Server unter %1 hat die Bytes ab Byte %2 gesendet, obwohl die ab Byte %3 verlangt waren</translation>
    </message>
    <message>
        <source>The server at %1 does not say how long the file is</source>
        <translation>Der Server unter %1 sagt nicht, wie lang die Datei ist</translation>
    </message>
    <message>
        <source>The server at %1 announced bytes %2 to %3 and sends %4 bytes, not the %5 of them</source>
        <translation>Der Server unter %1 hat die Bytes %2 bis %3 angekündigt und sendet %4 Bytes statt dieser %5</translation>
    </message>
    <message>
        <source>all %1 bytes of it</source>
        <translation>alle %1 Bytes der Datei</translation>
    </message>
    <message>
        <source>the whole file, of a length it does not say</source>
        <translation>die ganze Datei unbekannter Länge</translation>
    </message>
    <message>
        <source>The server at %1 ignores requests for part of a file: fetching the rest would download %2, for %3</source>
        <translation>Der Server unter %1 ignoriert Anfragen nach einem Teil einer Datei: Den Rest zu holen hieße, %2 herunterzuladen, für %3</translation>
    </message>
    <message>
        <source>%1 missing bytes</source>
        <translation>%1 fehlende Bytes</translation>
    </message>
    <message>
        <source>the missing bytes</source>
        <translation>die fehlenden Bytes</translation>
    </message>
    <message>
        <source>The server at %1 sends the whole file without saying how long it is</source>
        <translation>Der Server unter %1 sendet die ganze Datei, ohne zu sagen, wie lang sie ist</translation>
    </message>
    <message>
        <source>The length of the file at %1 changed from %2 to %3 bytes between two requests</source>
        <translation>Die Länge der Datei unter %1 hat sich zwischen zwei Anfragen von %2 auf %3 Bytes geändert</translation>
    </message>
    <message>
        <source>The file at %1 is not longer than the good part %2: it has %3 bytes</source>
        <translation>Die Datei unter %1 ist nicht länger als der gute Teil %2: Sie hat %3 Bytes</translation>
    </message>
    <message>
        <source>The file at %1 is shorter than the %2 bytes fetched from it before</source>
        <translation>Die Datei unter %1 ist kürzer als die %2 Bytes, die zuvor von ihr geholt wurden</translation>
    </message>
    <message>
        <source>The file at %1 does not match the good part before byte %2. It may be another file or another version.</source>
        <translation>Die Datei unter %1 stimmt vor Byte %2 nicht mit dem guten Teil überein. Es ist womöglich eine andere Datei oder eine andere Fassung.</translation>
    </message>
    <message>
        <source>The server at %1 sent bytes before its answer</source>
        <translation>Der Server unter %1 hat Bytes vor seiner Antwort gesendet</translation>
    </message>
    <message>
        <source>The server at %1 sent more bytes than the %2 it announced</source>
        <translation>Der Server unter %1 hat mehr Bytes gesendet als die angekündigten %2</translation>
    </message>
</context>
<context>
    <name>Repair</name>
    <message>
        <source>%1 is not a good part: its name does not end in QQQ</source>
        <translation>%1 ist kein guter Teil: Sein Name endet nicht auf QQQ</translation>
    </message>
    <message>
        <source>Invalid argument: the fixed file&apos;s name %1 must be a name in the good part&apos;s folder</source>
        <translation>Ungültiges Argument: Der Name %1 der reparierten Datei muss ein Name im Ordner des guten Teils sein</translation>
    </message>
    <message>
        <source>Invalid argument: %1 is no http or https address</source>
        <translation>Ungültiges Argument: %1 ist keine http- oder https-Adresse</translation>
    </message>
</context>
<context>
    <name>RepairCommands</name>
    <message>
        <source>Interrupted; nothing was left half-done.</source>
        <translation>Abgebrochen; nichts blieb halb fertig.</translation>
    </message>
    <message>
        <source>Give --yes to replace it.</source>
        <translation>Mit --yes wird es ersetzt.</translation>
    </message>
    <message>
        <source>Give --force to merge it anyway.</source>
        <translation>Mit --force wird trotzdem angefügt.</translation>
    </message>
    <message>
        <source>Not a plain, visible file: %1</source>
        <translation>Keine gewöhnliche, sichtbare Datei: %1</translation>
    </message>
    <message>
        <source>redirected to %1</source>
        <translation>umgeleitet nach %1</translation>
    </message>
    <message>
        <source>Give --force to keep it anyway.</source>
        <translation>Mit --force werden die Bytes trotzdem behalten.</translation>
    </message>
    <message>
        <source>Give --whole to let it stream through; only the missing bytes are kept.</source>
        <translation>Mit --whole darf die ganze Datei durchlaufen; nur die fehlenden Bytes werden behalten.</translation>
    </message>
    <message>
        <source>Give --at SIZE to say how much of it to keep.</source>
        <translation>Mit --at GRÖSSE lässt sich angeben, wie viel davon behalten wird.</translation>
    </message>
    <message>
        <source>The good part %1 is kept for saltwick-cli fetch.</source>
        <translation>Der gute Teil %1 bleibt für saltwick-cli fetch erhalten.</translation>
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
    <name>Terminal</name>
    <message>
        <source>Standard output cannot be written (%1)</source>
        <translation>Die Standardausgabe lässt sich nicht schreiben (%1)</translation>
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
</TS>
