#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>

#include <csignal>

class TestMerge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void completesTheGoodPart_data();
    void completesTheGoodPart();
    void refusesAShortCompanion_data();
    void refusesAShortCompanion();
    void mergesEverySelectedItemInOrder();
    void asksBeforeMergingAnotherFile_data();
    void asksBeforeMergingAnotherFile();
    void reportsMissingFilesAndCreatesNothing_data();
    void reportsMissingFilesAndCreatesNothing();
    void leavesTheGoodPartWhenTheFixedFileExists();
    void reportsAFailureInALaterItem();
    void doesNothingWithoutASelection();
    void ignoresCommandsAndDefersCloseWhileCopying();
    void repairsADamagedDownloadEndToEnd();
    void mergesAPartInAnotherFolderByKeyboard_data();
    void mergesAPartInAnotherFolderByKeyboard();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Lists the good parts of the folder the way start-up does, and selects the first.
    void startIn(TestWindow &window, int selected = 0);
    // The user selects one item at a time; a second one can only be added from code.
    static void alsoSelect(TestWindow &window, int row);

    QByteArray m_good;
    QByteArray m_companion;
    std::unique_ptr<TestFolder> m_dir;
    std::unique_ptr<CurrentFolder> m_here;
};

void TestMerge::initTestCase()
{
    std::signal(SIGXFSZ, SIG_IGN);
    m_companion = TestFiles::Pattern(10000000, 12);
    // A good part matches the file fetched again over its last MiB, where the join is
    // checked; further back it holds bytes of its own, so a merge that copied over them
    // would show.
    m_good = m_companion.left(4000000);
    m_good.replace(1000000, 900000, TestFiles::Pattern(900000, 11));
}

void TestMerge::init()
{
    m_here.reset();
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    m_here = std::make_unique<CurrentFolder>(m_dir->path());
}

void TestMerge::startIn(TestWindow &window, int selected)
{
    window.form.Form_Load(QString());
    auto *list = window.get<QListWidget>("List1");
    if (selected >= 0 && selected < list->count())
        list->item(selected)->setSelected(true);
}

void TestMerge::alsoSelect(TestWindow &window, int row)
{
    auto *list = window.get<QListWidget>("List1");
    list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
}

void TestMerge::completesTheGoodPart_data()
{
    QTest::addColumn<qint64>("good");
    QTest::addColumn<qint64>("tail");
    QTest::addColumn<int>("fullPieces");

    QTest::newRow("ten-and-ten") << qint64(10) << qint64(10) << 0;
    QTest::newRow("one-byte-tail") << qint64(10) << qint64(1) << 0;
    QTest::newRow("two-byte-tail") << qint64(10) << qint64(2) << 0;
    QTest::newRow("one-piece-tail") << qint64(10) << qint64(3000000) << 0;
    QTest::newRow("just-over-a-piece") << qint64(10) << qint64(3000001) << 1;
    QTest::newRow("two-pieces-tail") << qint64(10) << qint64(6000000) << 2;
    QTest::newRow("large-good-part") << qint64(4000000) << qint64(5000000) << 1;
    QTest::newRow("empty-good-part") << qint64(0) << qint64(7000000) << 2;
}

void TestMerge::completesTheGoodPart()
{
    QFETCH(qint64, good);
    QFETCH(qint64, tail);
    QFETCH(int, fullPieces);

    const QByteArray companion = m_companion.left(good + tail);
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good.left(good)));
    QVERIFY(TestFiles::Write(path("movie.avi"), companion));
    TestWindow window;
    startIn(window);
    QSignalSpy yields(&window.form, &Form1::copyYielded);
    window.click("cmdMerge");

    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_good.left(good) + companion.mid(good));
    QVERIFY(!QFile::exists(path("movie.QQQ")));
    QCOMPARE(TestFiles::Read(path("movie.avi")), companion);
    // One hand-over before each good part, one after reading each full piece.
    QCOMPARE(yields.count(), 1 + fullPieces);
    QCOMPARE(window.status(), QStringLiteral("Merge complete. movie-.avi is the fixed file."));
    QCOMPARE(window.listed(), QStringList{"movie.QQQ"});
    QVERIFY(window.get<QListWidget>("List1")->item(0)->isSelected());
    QVERIFY(window.get<QPushButton>("cmdMerge")->isEnabled());
    QCOMPARE(window.form.fileLength(), good);
}

void TestMerge::refusesAShortCompanion_data()
{
    QTest::addColumn<qint64>("companion");

    QTest::newRow("same-length") << qint64(10);
    QTest::newRow("shorter") << qint64(9);
    QTest::newRow("empty") << qint64(0);
}

void TestMerge::refusesAShortCompanion()
{
    QFETCH(qint64, companion);

    QVERIFY(TestFiles::Write(path("a.QQQ"), m_good.left(10)));
    QVERIFY(TestFiles::Write(path("a.avi"), m_companion.left(companion)));
    QVERIFY(TestFiles::Write(path("b.QQQ"), m_good.left(10)));
    QVERIFY(TestFiles::Write(path("b.avi"), m_companion.left(20)));
    TestWindow window;
    startIn(window);
    alsoSelect(window, 1);
    window.click("cmdMerge");

    QCOMPARE(window.prompts.messages, QStringList{"Avi shorter than QQQ"});
    QCOMPARE(window.status(), QStringLiteral("Merging good parts. Please wait..."));
    QCOMPARE(TestFiles::Read(path("a.QQQ")), m_good.left(10));
    QCOMPARE(TestFiles::Read(path("a.avi")), m_companion.left(companion));
    // The run ends there: the next item is not merged.
    QCOMPARE(TestFiles::Read(path("b.QQQ")), m_good.left(10));
    QVERIFY(!QFile::exists(path("a-.avi")));
    QVERIFY(!QFile::exists(path("b-.avi")));
}

void TestMerge::mergesEverySelectedItemInOrder()
{
    QVERIFY(TestFiles::Write(path("a.QQQ"), m_good.left(100)));
    QVERIFY(TestFiles::Write(path("a.avi"), m_companion.left(3500000)));
    QVERIFY(TestFiles::Write(path("b.QQQ"), m_good.left(3000000)));
    QVERIFY(TestFiles::Write(path("b.avi"), m_companion.left(3000005)));
    QVERIFY(TestFiles::Write(path("c.QQQ"), m_good.left(5)));
    QVERIFY(TestFiles::Write(path("c.avi"), m_companion.left(50)));
    TestWindow window;
    startIn(window, 0);
    alsoSelect(window, 1);
    window.click("cmdMerge");

    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path("a-.avi")), m_good.left(100) + m_companion.mid(100, 3499900));
    // The second good part starts again at its own length.
    QCOMPARE(TestFiles::Read(path("b-.avi")), m_good.left(3000000) + m_companion.mid(3000000, 5));
    QCOMPARE(TestFiles::Read(path("c.QQQ")), m_good.left(5));
    QCOMPARE(window.status(), QStringLiteral("Merge complete. b-.avi is the fixed file."));
    QCOMPARE(window.form.chunkBuffer().size(), 5);
}

void TestMerge::asksBeforeMergingAnotherFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("good");
    QTest::addColumn<qint64>("changedAt"); // 1-based
    QTest::addColumn<bool>("asked");

    QTest::newRow("last-byte") << "movie" << qint64(2000000) << qint64(2000000) << true;
    QTest::newRow("first-byte-checked") << "movie" << qint64(2000000) << qint64(951425) << true;
    // Only the last MiB is read, however long the good part.
    QTest::newRow("before-the-checked-bytes")
        << "movie" << qint64(2000000) << qint64(951424) << false;
    QTest::newRow("short-good-part") << "movie" << qint64(10) << qint64(1) << true;
    // A name is inserted as it is, never read as a place for the next number.
    QTest::newRow("name-with-percent") << "x%1 %2" << qint64(10) << qint64(1) << true;
}

void TestMerge::asksBeforeMergingAnotherFile()
{
    QFETCH(QString, name);
    QFETCH(qint64, good);
    QFETCH(qint64, changedAt);
    QFETCH(bool, asked);

    QByteArray goodPart = m_companion.left(good);
    goodPart[changedAt - 1] = char(~goodPart[changedAt - 1]);
    QVERIFY(TestFiles::Write(path(name + ".QQQ"), goodPart));
    QVERIFY(TestFiles::Write(path(name + ".avi"), m_companion));
    TestWindow window;
    startIn(window);
    window.prompts.answers = {ScriptedPrompts::PressReturn};
    window.click("cmdMerge");

    const QString question = QStringLiteral("The new ") + name
                             + QStringLiteral(".avi does not match the good part before byte ")
                             + QString::number(changedAt)
                             + QStringLiteral(". It may be another file or another version. "
                                              "Merge anyway?");
    QCOMPARE(window.prompts.questions, asked ? QStringList{question} : QStringList());
    QCOMPARE(window.prompts.messages, QStringList());
    if (asked) {
        // Return answers No, which leaves everything as it was.
        QCOMPARE(window.prompts.defaults, QList<Prompts::Answer>{Prompts::Answer::No});
        QCOMPARE(TestFiles::Read(path(name + ".QQQ")), goodPart);
        QVERIFY(!QFile::exists(path(name + "-.avi")));
        QCOMPARE(window.status(), QStringLiteral("Merging good parts. Please wait..."));
        window.prompts.answers = {true};
        window.click("cmdMerge");
        QCOMPARE(window.prompts.questions, QStringList({question, question}));
    }
    QCOMPARE(TestFiles::Read(path(name + "-.avi")), goodPart + m_companion.mid(good));
    QCOMPARE(TestFiles::Read(path(name + ".avi")), m_companion);
    QCOMPARE(window.status(), QStringLiteral("Merge complete. ") + name
                                  + QStringLiteral("-.avi is the fixed file."));
}

void TestMerge::reportsMissingFilesAndCreatesNothing_data()
{
    QTest::addColumn<QString>("removed");

    QTest::newRow("good-part") << "movie.QQQ";
    QTest::newRow("companion") << "movie.avi";
}

void TestMerge::reportsMissingFilesAndCreatesNothing()
{
    QFETCH(QString, removed);

    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion.left(20)));
    TestWindow window;
    startIn(window);
    QVERIFY(QFile::remove(path(removed)));
    window.click("cmdMerge");

    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY2(window.prompts.messages.first().startsWith("53: "),
             qPrintable(window.prompts.messages.first()));
    QVERIFY(window.prompts.messages.first().contains(removed));
    QVERIFY(!QFile::exists(path(removed)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 1);
}

void TestMerge::leavesTheGoodPartWhenTheFixedFileExists()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion.left(20)));
    QVERIFY(TestFiles::Write(path("movie-.avi"), "older fix"));
    TestWindow window;
    startIn(window);
    window.click("cmdMerge");

    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY(window.prompts.messages.first().startsWith("75: "));
    QVERIFY(window.prompts.messages.first().contains("movie-.avi"));
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_good.left(10));
    QCOMPARE(TestFiles::Read(path("movie-.avi")), QByteArray("older fix"));

    // Merging again after a merge finds the fixed file and changes nothing either.
    QVERIFY(QFile::remove(path("movie-.avi")));
    window.prompts.messages.clear();
    window.click("cmdMerge");
    QCOMPARE(window.status(), QStringLiteral("Merge complete. movie-.avi is the fixed file."));
    window.click("cmdMerge");
    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY(window.prompts.messages.first().startsWith("53: "));
    QVERIFY(!QFile::exists(path("movie.QQQ")));
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_good.left(10) + m_companion.mid(10, 10));
}

void TestMerge::reportsAFailureInALaterItem()
{
    QVERIFY(TestFiles::Write(path("a.QQQ"), m_good.left(100)));
    QVERIFY(TestFiles::Write(path("a.avi"), m_companion.left(1000)));
    QVERIFY(TestFiles::Write(path("b.QQQ"), m_good.left(1000000)));
    QVERIFY(TestFiles::Write(path("b.avi"), m_companion.left(9000000)));
    TestWindow window;
    startIn(window, 0);
    alsoSelect(window, 1);
    {
        // The second good part may not grow past 5,000,000 bytes: a disk filling up.
        FileSizeLimit limit(5000000);
        window.click("cmdMerge");
    }

    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY2(window.prompts.messages.first().startsWith("61: "),
             qPrintable(window.prompts.messages.first()));
    QCOMPARE(window.status(), QStringLiteral("Merging good parts. Please wait..."));
    QCOMPARE(TestFiles::Read(path("a-.avi")), m_good.left(100) + m_companion.mid(100, 900));
    // The interrupted good part is given back as it was.
    QCOMPARE(TestFiles::Read(path("b.QQQ")), m_good.left(1000000));
    QVERIFY(!QFile::exists(path("b-.avi")));
}

void TestMerge::doesNothingWithoutASelection()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion.left(20)));
    TestWindow window;
    startIn(window, -1);
    window.click("cmdMerge");

    QCOMPARE(window.status(), QStringLiteral("No file loaded."));
    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_good.left(10));
}

void TestMerge::ignoresCommandsAndDefersCloseWhileCopying()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion));
    TestWindow window;
    window.form.show();
    startIn(window);
    window.get<QLineEdit>("txtFile")->setText(path("movie.avi"));
    window.setSizeBox("100");

    int yields = 0;
    bool closedDuringCopy = true;
    QObject::connect(&window.form, &Form1::copyYielded, &window.form, [&] {
        if (++yields != 2)
            return;
        window.click("cmdMerge");
        window.click("cmdSplit");
        window.form.close();
        closedDuringCopy = !window.form.isVisible();
    });
    window.click("cmdMerge");

    QVERIFY(!closedDuringCopy);
    QCOMPARE(window.prompts.messages, QStringList());
    QVERIFY(!QFile::exists(path("movie.QQQ")));
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_good.left(10) + m_companion.mid(10));
    QCOMPARE(window.status(), QStringLiteral("Merge complete. movie-.avi is the fixed file."));
    QVERIFY(!window.form.isVisible());
}

void TestMerge::repairsADamagedDownloadEndToEnd()
{
    const QByteArray original = TestFiles::Pattern(9500000, 21);
    const qint64 damagedAt = 7654321;
    QByteArray damaged = original;
    damaged.replace(damagedAt, 1000000, TestFiles::Pattern(1000000, 99));
    QVERIFY(TestFiles::Write(path("movie.avi"), damaged));

    TestWindow window;
    window.form.Form_Load(path("movie.avi"));
    window.setSizeBox(QStringLiteral("Error at offset: %1 (0x74CBB1)").arg(damagedAt));
    window.click("cmdSplit");
    QCOMPARE(window.status(), QStringLiteral("Done"));
    QCOMPARE(window.sizeBox(), QString::number(damagedAt - 50000));

    // The file is fetched again by another tool.
    QVERIFY(TestFiles::Write(path("movie.avi"), original));

    TestWindow later;
    startIn(later);
    QCOMPARE(later.listed(), QStringList{"movie.QQQ"});
    later.click("cmdMerge");
    QCOMPARE(later.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), original);
}

void TestMerge::mergesAPartInAnotherFolderByKeyboard_data()
{
    QTest::addColumn<QList<int>>("keys"); // after Browse and three Tabs to the list

    QTest::newRow("return-in-the-list") << QList<int>{Qt::Key_Down, Qt::Key_Return};
    QTest::newRow("back-to-merge-back")
        << QList<int>{Qt::Key_Down, Qt::Key_Backtab, Qt::Key_Return};
    QTest::newRow("end-then-space-on-the-button")
        << QList<int>{Qt::Key_End, Qt::Key_Backtab, Qt::Key_Space};
}

void TestMerge::mergesAPartInAnotherFolderByKeyboard()
{
    QFETCH(QList<int>, keys);

    QVERIFY(QDir(m_dir->path()).mkdir("elsewhere"));
    QVERIFY(TestFiles::Write(path("elsewhere/movie.QQQ"), m_good));
    QVERIFY(TestFiles::Write(path("elsewhere/movie.avi"), m_companion));
    TestWindow window;
    window.form.Form_Load(QString());
    QVERIFY(window.showActive());
    window.dialog.choices = {path("elsewhere/movie.QQQ")};

    auto press = [&](int key) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key)); };
    press(Qt::Key_Tab);
    QCOMPARE(window.focused(), QStringLiteral("cmdBrowse"));
    press(Qt::Key_Return);
    QCOMPARE(window.listed(), QStringList{path("elsewhere/movie.QQQ")});
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(window.focused(), QStringLiteral("List1"));
    for (int key : keys)
        press(key);

    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path("elsewhere/movie-.avi")), m_good + m_companion.mid(4000000));
    QCOMPARE(
        window.status(),
        QStringLiteral("Merge complete. %1 is the fixed file.").arg(path("elsewhere/movie-.avi")));
}

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
