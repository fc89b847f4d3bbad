<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
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
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
