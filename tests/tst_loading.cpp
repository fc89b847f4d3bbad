#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>

class TestLoading : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void dropOnAnyControlLoadsAndLists_data();
    void dropOnAnyControlLoadsAndLists();
    void dropCases_data();
    void dropCases();
    void dropOnTheSizeBoxDoesNotPaste();
    void browse_data();
    void browse();

private:
    static QWidget *dropTarget(TestWindow &window, const QString &name);
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<TestFolder> m_dir;
};

void TestLoading::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(TestFiles::WritePattern(path("movie.QQQ"), 1234));
    QVERIFY(TestFiles::WritePattern(path("movie.avi"), 5678));
    QVERIFY(TestFiles::WritePattern(path("other.avi"), 42));
    QVERIFY(QDir(m_dir->path()).mkpath("films"));
}

QWidget *TestLoading::dropTarget(TestWindow &window, const QString &name)
{
    if (name == "Form1")
        return &window.form;
    QWidget *control = window.get(name.toLatin1().constData());
    // A list takes its drops on the area that shows the items.
    if (auto *view = qobject_cast<QAbstractItemView *>(control))
        return view->viewport();
    return control;
}

void TestLoading::dropOnAnyControlLoadsAndLists_data()
{
    QTest::addColumn<QString>("target");
    for (const char *name : {"Form1", "cmdBrowse", "cmdSplit", "cmdMerge", "Frame1", "Frame2",
                             "Label1", "Label2", "Label3", "Label4", "List1", "txtSize"})
        QTest::newRow(name) << name;
}

void TestLoading::dropOnAnyControlLoadsAndLists()
{
    QFETCH(QString, target);

    TestWindow window;
    window.form.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path("movie.QQQ"))});
    QVERIFY(SendDrop(dropTarget(window, target), data));

    QCOMPARE(window.fileBox(), path("movie.QQQ"));
    QCOMPARE(window.status(), path("movie.QQQ"));
    QCOMPARE(window.sizeBox(), QStringLiteral("1234"));
    QCOMPARE(window.listed(), QStringList{path("movie.QQQ")});
    QVERIFY(window.get<QPushButton>("cmdMerge")->isEnabled());
}

void TestLoading::dropCases_data()
{
    QTest::addColumn<QStringList>("names"); // in the test's folder, unless a full address
    QTest::addColumn<int>("drops");
    QTest::addColumn<QString>("fileBox"); // relative to the folder
    QTest::addColumn<QString>("sizeBox");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QString>("statusHas");

    QTest::newRow("plain-file") << QStringList{"other.avi"} << 1 << "other.avi"
                                << "42" << 0 << "other.avi";
    QTest::newRow("good-part-twice") << QStringList{"movie.QQQ"} << 2 << "movie.QQQ"
                                     << "1234" << 2 << "movie.QQQ";
    QTest::newRow("two-files-last-wins")
        << QStringList{"movie.QQQ", "other.avi"} << 1 << "other.avi"
        << "42" << 0 << "other.avi";
    QTest::newRow("folder") << QStringList{"films"} << 1 << "films"
                            << "" << 0 << "folder";
    QTest::newRow("vanished") << QStringList{"gone.avi"} << 1 << "gone.avi"
                              << "" << 0 << "not found";
    QTest::newRow("remote-only") << QStringList{"https://example.org/movie.avi"} << 1 << ""
                                 << "" << 0 << "No files to split";
    QTest::newRow("remote-then-local")
        << QStringList{"other.avi", "https://example.org/movie.QQQ"} << 1 << "other.avi"
        << "42" << 0 << "other.avi";
    QTest::newRow("text-only") << QStringList{} << 1 << ""
                               << "" << 0 << "No files to split";
}

void TestLoading::dropCases()
{
    QFETCH(QStringList, names);
    QFETCH(int, drops);
    QFETCH(QString, fileBox);
    QFETCH(QString, sizeBox);
    QFETCH(int, listed);
    QFETCH(QString, statusHas);

    TestWindow window;
    window.form.show();
    QList<QUrl> urls;
    for (const QString &name : names)
        urls << (name.contains(u':') ? QUrl(name) : QUrl::fromLocalFile(path(name)));
    QMimeData data;
    data.setUrls(urls);
    if (urls.isEmpty())
        data.setText(path("movie.QQQ"));
    const bool taken = !fileBox.isEmpty();
    for (int i = 0; i < drops; ++i)
        QCOMPARE(SendDrop(&window.form, data), taken);

    QCOMPARE(window.fileBox(), taken ? path(fileBox) : QString());
    QCOMPARE(window.sizeBox(), sizeBox);
    QCOMPARE(window.listed().size(), listed);
    QCOMPARE(window.get<QPushButton>("cmdMerge")->isEnabled(), listed > 0);
    QVERIFY2(window.status().contains(statusHas), qPrintable(window.status()));
    QCOMPARE(window.prompts.messages, QStringList());
}

void TestLoading::dropOnTheSizeBoxDoesNotPaste()
{
    TestWindow window;
    window.form.show();
    window.setSizeBox("Error at offset: 1234567");

    QMimeData text;
    text.setText("pasted by mistake");
    QVERIFY(!SendDrop(window.get("txtSize"), text));
    QCOMPARE(window.sizeBox(), QStringLiteral("Error at offset: 1234567"));

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(path("other.avi"))});
    files.setText(path("other.avi"));
    QVERIFY(SendDrop(window.get("txtSize"), files));
    QCOMPARE(window.sizeBox(), QStringLiteral("42"));
}

void TestLoading::browse_data()
{
    QTest::addColumn<QStringList>("choices"); // an empty choice cancels
    QTest::addColumn<QString>("fileBox");
    QTest::addColumn<QString>("sizeBox");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("chosen") << QStringList{"movie.avi"} << "movie.avi"
                            << "5678"
                            << "movie.avi" << QStringList();
    QTest::newRow("cancel-first") << QStringList{""} << ""
                                  << ""
                                  << "No files to split" << QStringList();
    QTest::newRow("cancel-after-load") << QStringList{"movie.avi", ""} << "movie.avi"
                                       << "5678"
                                       << "movie.avi" << QStringList();
    QTest::newRow("second-file") << QStringList{"movie.avi", "other.avi"} << "other.avi"
                                 << "42"
                                 << "other.avi" << QStringList();
    QTest::newRow("folder") << QStringList{"films"} << "films"
                            << ""
                            << "folder" << QStringList();
    // A good part whose file was fetched again is listed, as a dropped one is.
    QTest::newRow("pending-merge") << QStringList{"movie.QQQ"} << "movie.QQQ"
                                   << "1234"
                                   << "movie.QQQ" << QStringList{"movie.QQQ"};
    QTest::newRow("lonely-good-part") << QStringList{"films/lonely.QQQ"} << "films/lonely.QQQ"
                                      << "10"
                                      << "lonely.QQQ" << QStringList();
}

void TestLoading::browse()
{
    QFETCH(QStringList, choices);
    QFETCH(QString, fileBox);
    QFETCH(QString, sizeBox);
    QFETCH(QString, status);
    QFETCH(QStringList, listed);

    QVERIFY(TestFiles::WritePattern(path("films/lonely.QQQ"), 10));
    TestWindow window;
    window.form.show();
    for (const QString &choice : choices)
        window.dialog.choices << (choice.isEmpty() ? QString() : path(choice));
    for (int i = 0; i < choices.size(); ++i)
        window.click("cmdBrowse");

    QCOMPARE(window.dialog.opened, choices.size());
    QCOMPARE(window.fileBox(), fileBox.isEmpty() ? QString() : path(fileBox));
    QCOMPARE(window.form.loadedTitle(), window.fileBox());
    QCOMPARE(window.sizeBox(), sizeBox);
    QVERIFY2(window.status().contains(status), qPrintable(window.status()));
    QStringList listedPaths;
    for (const QString &name : listed)
        listedPaths << path(name);
    QCOMPARE(window.listed(), listedPaths);
    QCOMPARE(window.get<QPushButton>("cmdMerge")->isEnabled(), !listed.isEmpty());
}

QTEST_MAIN(TestLoading)
#include "tst_loading.moc"
