#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowFrame();
    void visibleControls_data();
    void visibleControls();
    void initialState();
    void workingControlsNeverShow();
    void tabOrderAndFocus();
    void startUpWithoutArgument_data();
    void startUpWithoutArgument();
    void startUpWithFile();
    void startUpWithGoodPart();
    void startUpWithRelativePathAndBlanks();
    void startUpWithUnreadablePath_data();
    void startUpWithUnreadablePath();
    void longFileName();
};

void TestForm1::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("Saltwick"));
}

void TestForm1::windowFrame()
{
    TestWindow window;
    Form1 &form = window.form;

    QCOMPARE(form.windowTitle(), QStringLiteral("Saltwick 0.2"));
    QCOMPARE(form.size(), QSize(380, 288));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.acceptDrops());
    QVERIFY(form.windowIcon().availableSizes().contains(QSize(32, 32)));
}

void TestForm1::visibleControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("caption");

    QTest::newRow("Frame2") << "Frame2" << QRect(16, 8, 337, 65)
                            << "1. Copying the good part into a seperate file";
    QTest::newRow("cmdBrowse") << "cmdBrowse" << QRect(24, 32, 65, 29) << "Browse";
    QTest::newRow("Label4") << "Label4" << QRect(80, 32, 57, 25) << " Error offset:";
    QTest::newRow("txtSize") << "txtSize" << QRect(160, 40, 105, 17) << "";
    QTest::newRow("cmdSplit") << "cmdSplit" << QRect(272, 32, 73, 29) << "Split";
    QTest::newRow("Label3") << "Label3" << QRect(24, 80, 257, 17)
                            << "2. Resuming the broken part of the file (your job)";
    QTest::newRow("Frame1") << "Frame1" << QRect(16, 104, 329, 145)
                            << "3. Merging back with the original file";
    QTest::newRow("List1") << "List1" << QRect(24, 128, 225, 108) << "";
    QTest::newRow("cmdMerge") << "cmdMerge" << QRect(264, 144, 73, 37) << "Merge Back";
    QTest::newRow("Label1") << "Label1" << QRect(0, 256, 367, 29) << "No files to split";
}

void TestForm1::visibleControls()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, caption);

    TestWindow window;
    Form1 &form = window.form;
    form.show();

    QWidget *widget = window.get<QWidget>(name.toLatin1().constData());
    QCOMPARE(widget->geometry(), rect);
    QVERIFY(widget->isVisible());
    if (auto *button = qobject_cast<QPushButton *>(widget))
        QCOMPARE(button->text(), caption);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), caption);
    else if (auto *frame = qobject_cast<QGroupBox *>(widget))
        QCOMPARE(frame->title(), caption);
    else if (auto *box = qobject_cast<QLineEdit *>(widget))
        QCOMPARE(box->text(), caption);

    // Every control the user sees lies wholly inside the client area.
    QVERIFY(form.rect().contains(widget->mapTo(&form, widget->rect().bottomRight())));
}

void TestForm1::initialState()
{
    TestWindow window;
    Form1 &form = window.form;

    QVERIFY(!window.get<QPushButton>("cmdMerge")->isEnabled());
    QVERIFY(window.get<QPushButton>("cmdSplit")->isEnabled());
    QVERIFY(window.get<QPushButton>("cmdBrowse")->isEnabled());
    QVERIFY(!window.get<QLineEdit>("txtSize")->isReadOnly());
    auto *list = window.get<QListWidget>("List1");
    QCOMPARE(list->count(), 0);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!list->isSortingEnabled());

    auto *status = window.get<QLabel>("Label1");
    QCOMPARE(status->alignment(), Qt::AlignCenter);
    QCOMPARE(status->palette().color(QPalette::WindowText),
             status->palette().color(QPalette::Highlight));
    QCOMPARE(window.get<QLabel>("lblOut")->text(), QStringLiteral("File"));
    QCOMPARE(window.get<QLabel>("Label2")->text(), QStringLiteral("Split size"));
    QCOMPARE(form.loadedTitle(), QString());
    QCOMPARE(form.fileLength(), 0);
    QCOMPARE(form.chunkBuffer().size(), 0);
}

void TestForm1::workingControlsNeverShow()
{
    TestWindow window;
    Form1 &form = window.form;
    form.show();

    // Beyond the right edge of a window that cannot grow.
    for (const char *name : {"txtFile", "File1", "Dir1", "txt"})
        QVERIFY2(window.get<QWidget>(name)->x() >= form.width(), name);

    // Behind the frames and the buttons: whatever is drawn at their middle is not them.
    for (const char *name : {"Label2", "lblOut"}) {
        QWidget *hidden = window.get<QWidget>(name);
        const QRect area = hidden->geometry();
        for (const QPoint &point : {area.topLeft(), area.center(), area.bottomRight()}) {
            QWidget *top = form.childAt(point);
            QVERIFY2(top && top != hidden, name);
        }
    }
}

void TestForm1::tabOrderAndFocus()
{
    TestWindow window;
    Form1 &form = window.form;
    window.get<QPushButton>("cmdMerge")->setEnabled(true);
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));

    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdSplit"));
    QStringList order;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"cmdBrowse", "txtSize", "cmdMerge", "List1", "cmdSplit"}));
}

void TestForm1::startUpWithoutArgument_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("nothing-pending") << QStringList{"movie.avi", "notes.txt"} << QStringList{};
    QTest::newRow("one-pending") << QStringList{"movie.QQQ", "movie.avi"}
                                 << QStringList{"movie.QQQ"};
    QTest::newRow("companion-missing") << QStringList{"movie.QQQ"} << QStringList{};
    QTest::newRow("two-pending-in-name-order")
        << QStringList{"b.QQQ", "b.avi", "a.qqq", "a.avi"} << QStringList{"a.qqq", "b.QQQ"};
    QTest::newRow("hidden-good-part") << QStringList{".m.QQQ", ".m.avi"} << QStringList{};
    QTest::newRow("short-names") << QStringList{"x.y", "Q", ".avi"} << QStringList{};
}

void TestForm1::startUpWithoutArgument()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);

    TestFolder dir;
    for (const QString &file : files)
        QVERIFY(TestFiles::WritePattern(dir.filePath(file), 10));
    CurrentFolder here(dir.path());

    TestWindow window;
    Form1 &form = window.form;
    form.Form_Load(QString());

    QCOMPARE(window.get<QLabel>("Label1")->text(), QStringLiteral("No file loaded."));
    auto *list = window.get<QListWidget>("List1");
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    QCOMPARE(items, listed);
    QCOMPARE(window.get<QPushButton>("cmdMerge")->isEnabled(), !listed.isEmpty());
    QCOMPARE(window.get<QLineEdit>("txtSize")->text(), QString());
    QVERIFY(!window.get<QWidget>("File1")->isVisibleTo(&form));
}

void TestForm1::startUpWithFile()
{
    TestFolder dir;
    const QString movie = dir.filePath("Movie One.avi");
    QVERIFY(TestFiles::WritePattern(movie, 500));
    // A pending merge in the current folder is not looked for when a file is given.
    QVERIFY(TestFiles::WritePattern(dir.filePath("b.QQQ"), 5));
    QVERIFY(TestFiles::WritePattern(dir.filePath("b.avi"), 9));
    CurrentFolder here(dir.path());

    TestWindow window;
    Form1 &form = window.form;
    form.Form_Load(movie);

    QCOMPARE(window.get<QLineEdit>("txtSize")->text(), QStringLiteral("500"));
    QCOMPARE(window.get<QLineEdit>("txtFile")->text(), movie);
    QCOMPARE(window.get<QLabel>("Label1")->text(), movie);
    QCOMPARE(window.get<QListWidget>("List1")->count(), 0);
    QVERIFY(!window.get<QPushButton>("cmdMerge")->isEnabled());
}

void TestForm1::startUpWithGoodPart()
{
    TestFolder dir;
    const QString goodPart = dir.filePath("movie.QQQ");
    QVERIFY(TestFiles::WritePattern(goodPart, 700));
    QVERIFY(TestFiles::WritePattern(dir.filePath("movie.avi"), 900));

    // "Open with" on a good part lists it for merging, as a drop does.
    TestWindow window;
    window.form.Form_Load(goodPart);

    QCOMPARE(window.listed(), QStringList{goodPart});
    QVERIFY(window.get<QPushButton>("cmdMerge")->isEnabled());
    QCOMPARE(window.sizeBox(), QStringLiteral("700"));
    QCOMPARE(window.status(), goodPart);
}

void TestForm1::startUpWithRelativePathAndBlanks()
{
    TestFolder dir;
    QVERIFY(QDir(dir.path()).mkpath("films"));
    QVERIFY(TestFiles::WritePattern(dir.filePath("films/my movie.avi"), 1234));
    CurrentFolder here(dir.path());

    TestWindow window;
    Form1 &form = window.form;
    form.Form_Load(QStringLiteral("./films/../films/my movie.avi"));

    const QString absolute = QDir(dir.path()).canonicalPath() + "/films/my movie.avi";
    QCOMPARE(window.get<QLineEdit>("txtSize")->text(), QStringLiteral("1234"));
    QCOMPARE(QFileInfo(window.get<QLineEdit>("txtFile")->text()).canonicalFilePath(), absolute);
    QVERIFY(window.get<QLineEdit>("txtFile")->text().startsWith(u'/'));
    QVERIFY(!window.get<QLineEdit>("txtFile")->text().contains(QStringLiteral("..")));
}

void TestForm1::startUpWithUnreadablePath_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("mentioned");

    QTest::newRow("missing") << "nofile.avi"
                             << "not found";
    QTest::newRow("quoted") << "\"movie.avi\""
                            << "not found";
    QTest::newRow("folder") << "films"
                            << "folder";
}

void TestForm1::startUpWithUnreadablePath()
{
    QFETCH(QString, argument);
    QFETCH(QString, mentioned);

    TestFolder dir;
    QVERIFY(QDir(dir.path()).mkpath("films"));
    QVERIFY(TestFiles::WritePattern(dir.filePath("movie.avi"), 10));
    CurrentFolder here(dir.path());

    TestWindow window;
    Form1 &form = window.form;
    form.Form_Load(argument);

    QCOMPARE(window.get<QLineEdit>("txtSize")->text(), QString());
    QCOMPARE(window.get<QLineEdit>("txtFile")->text(), QString());
    QVERIFY2(window.get<QLabel>("Label1")->text().contains(mentioned),
             qPrintable(window.get<QLabel>("Label1")->text()));
    QVERIFY(window.prompts.messages.isEmpty());
}

void TestForm1::longFileName()
{
    TestFolder dir;
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(QDir(root).mkpath("Program Files/.hidden"));
    QVERIFY(TestFiles::WritePattern(root + "/Program Files/Movie one.avi", 3));
    QVERIFY(TestFiles::WritePattern(root + "/Program Files/.hidden/x.avi", 3));
    CurrentFolder here(root);

    TestWindow window;
    Form1 &form = window.form;

    QCOMPARE(form.GetLongFileName(root + "/Program Files/Movie one.avi"),
             root + "/Program Files/Movie one.avi");
    QCOMPARE(form.GetLongFileName(root + "/Program Files"), root + "/Program Files");
    QCOMPARE(form.GetLongFileName(root + "/Program Files/.hidden/x.avi"),
             root + "/Program Files/.hidden/x.avi");
    QCOMPARE(form.GetLongFileName("Program Files/Movie one.avi"),
             root + "/Program Files/Movie one.avi");
    QCOMPARE(form.GetLongFileName(root + "/Program Files/./../Program Files/Movie one.avi"),
             root + "/Program Files/Movie one.avi");
    QCOMPARE(form.GetLongFileName(root + "/Program Files/nofile.avi"), QString());
    QCOMPARE(form.GetLongFileName(root + "/Nowhere/Movie one.avi"), QString());
    // On a file system that tells letter case apart, another case names no file.
    QCOMPARE(form.GetLongFileName(root + "/PROGRAM FILES/Movie one.avi"), QString());
    QCOMPARE(form.GetLongFileName("/"), QStringLiteral("/"));
    QCOMPARE(form.GetLongFileName(QString()), QString());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
