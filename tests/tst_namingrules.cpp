#include "NamingRules.h"
#include "PendingMerges.h"
#include "TestFiles.h"
#include "TestFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace NamingRules;

class TestNamingRules : public QObject
{
    Q_OBJECT

private slots:
    void goodPartPath_data();
    void goodPartPath();
    void companionAndFixedNames_data();
    void companionAndFixedNames();
    void isPendingMerge_data();
    void isPendingMerge();
};

void TestNamingRules::goodPartPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("goodPart");

    QTest::newRow("avi") << "/films/movie.avi"
                         << "/films/movie.QQQ";
    QTest::newRow("any-last-three") << "/films/clip.mpeg"
                                    << "/films/clip.mQQQ";
    QTest::newRow("no-dot") << "/films/abcdef"
                            << "/films/abcQQQ";
    QTest::newRow("exactly-three") << "/films/abc"
                                   << "/films/QQQ";
    QTest::newRow("too-short") << "/films/ab"
                               << "";
    QTest::newRow("bare-name") << "movie.avi"
                               << "movie.QQQ";
    QTest::newRow("dot-in-folder") << "/my.films/movie"
                                   << "/my.films/moQQQ";
    QTest::newRow("already-good-part") << "/films/movie.QQQ"
                                       << "/films/movie.QQQ";
}

void TestNamingRules::goodPartPath()
{
    QFETCH(QString, path);
    QFETCH(QString, goodPart);
    const FolderAndName parts = SplitFolderAndName(path);
    QCOMPARE(parts.folder + parts.name, path);
    QCOMPARE(GoodPartPath(parts.folder, parts.name), goodPart);
}

void TestNamingRules::companionAndFixedNames_data()
{
    QTest::addColumn<QString>("goodPart");
    QTest::addColumn<QString>("pendingCompanion");
    QTest::addColumn<QString>("mergeCompanion");
    QTest::addColumn<QString>("fixed");

    QTest::newRow("upper") << "/f/movie.QQQ"
                           << "/f/movie.avi"
                           << "/f/movie.avi"
                           << "/f/movie-.avi";
    QTest::newRow("lower") << "movie.qqq"
                           << "movie.avi"
                           << "movie.avi"
                           << "movie-.avi";
    // Without a dot the two companion rules part ways.
    QTest::newRow("no-dot") << "abqqq"
                            << "a.avi"
                            << "abavi"
                            << "a-.avi";
}

void TestNamingRules::companionAndFixedNames()
{
    QFETCH(QString, goodPart);
    QFETCH(QString, pendingCompanion);
    QFETCH(QString, mergeCompanion);
    QFETCH(QString, fixed);
    QCOMPARE(PendingCompanionPath(goodPart), pendingCompanion);
    QCOMPARE(MergeCompanionPath(goodPart), mergeCompanion);
    QCOMPARE(FixedPath(goodPart), fixed);
}

void TestNamingRules::isPendingMerge_data()
{
    // A trailing slash makes a folder, "name->target" a symbolic link.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<bool>("pending");

    QTest::newRow("upper-case") << QStringList{"movie.QQQ", "movie.avi"} << "movie.QQQ" << true;
    QTest::newRow("lower-case") << QStringList{"movie.qqq", "movie.avi"} << "movie.qqq" << true;
    QTest::newRow("mixed-case") << QStringList{"movie.QqQ", "movie.avi"} << "movie.QqQ" << true;
    QTest::newRow("no-companion") << QStringList{"movie.QQQ"} << "movie.QQQ" << false;
    QTest::newRow("companion-other-case")
        << QStringList{"movie.QQQ", "movie.AVI"} << "movie.QQQ" << false;
    QTest::newRow("companion-is-folder")
        << QStringList{"movie.QQQ", "movie.avi/"} << "movie.QQQ" << false;
    QTest::newRow("hidden-companion")
        << QStringList{".movie.QQQ", ".movie.avi"} << ".movie.QQQ" << false;
    QTest::newRow("first-qqq-too-early") << QStringList{"qqq.QQQ", "qqq.avi"} << "qqq.QQQ" << false;
    QTest::newRow("qqq-in-folder-name")
        << QStringList{"qqq/", "qqq/movie.QQQ", "qqq/movie.avi"} << "qqq/movie.QQQ" << false;
    QTest::newRow("in-a-folder") << QStringList{"films/", "films/movie.QQQ", "films/movie.avi"}
                                 << "films/movie.QQQ" << true;
    QTest::newRow("no-dot") << QStringList{"abqqq", "a.avi"} << "abqqq" << true;
    QTest::newRow("companion-link")
        << QStringList{"movie.QQQ", "real.avi", "movie.avi->real.avi"} << "movie.QQQ" << true;
    QTest::newRow("companion-dangling-link")
        << QStringList{"movie.QQQ", "movie.avi->gone.avi"} << "movie.QQQ" << false;
    QTest::newRow("not-ending-in-qqq") << QStringList{"movie.avi"} << "movie.avi" << false;
    QTest::newRow("three-characters") << QStringList{"QQQ", ".avi"} << "QQQ" << false;
    QTest::newRow("short-name") << QStringList{"x.y"} << "x.y" << false;
    QTest::newRow("empty") << QStringList{} << "" << false;
}

void TestNamingRules::isPendingMerge()
{
    QFETCH(QStringList, files);
    QFETCH(QString, candidate);
    QFETCH(bool, pending);

    TestFolder dir;
    QVERIFY(dir.isValid());
    for (const QString &file : files) {
        if (file.endsWith(u'/'))
            QVERIFY(QDir(dir.path()).mkpath(file));
        else if (file.contains(QStringLiteral("->")))
            QVERIFY(QFile::link(file.section(QStringLiteral("->"), 1),
                                dir.filePath(file.section(QStringLiteral("->"), 0, 0))));
        else
            QVERIFY(TestFiles::WritePattern(dir.filePath(file), 10));
    }
    // Bare names resolve in the current folder, as they do at start-up.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const bool result = PendingMerges::IsPendingMerge(candidate);
    QDir::setCurrent(previous);
    QCOMPARE(result, pending);
}

QTEST_GUILESS_MAIN(TestNamingRules)
#include "tst_namingrules.moc"
