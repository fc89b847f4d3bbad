#include "MessageBoxPrompts.h"
#include "StatusLine.h"
#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"
#include "Translations.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QHelpEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QToolTip>
#include <QTranslator>

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void screenReadersSeeNamedControlsOnly();
    void returnPresses_data();
    void returnPresses();
    void questionsAnswerTheirDefault_data();
    void questionsAnswerTheirDefault();
    void statusIsAnnounced();
    void longStatusIsElidedInTheMiddle();
    void translations_data();
    void translations();
    void optionsNeedNoDisplay_data();
    void optionsNeedNoDisplay();

private:
    static QMap<QString, QString> accessibleNames(QAccessibleInterface *node);
};

void TestDesktop::cleanup()
{
    QLocale::setDefault(QLocale::c());
    qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
}

// Object name -> accessible name of every control below the node.
QMap<QString, QString> TestDesktop::accessibleNames(QAccessibleInterface *node)
{
    QMap<QString, QString> names;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *child = node->child(i);
        // Items of a list have no object of their own.
        if (!child || !child->object())
            continue;
        const QString objectName = child->object()->objectName();
        // A screen reader walks up as well as down.
        if (child->parent() != node || node->indexOfChild(child) != i)
            names.insert(QStringLiteral("broken link"), objectName);
        names.insert(objectName, child->text(QAccessible::Name));
        names.insert(accessibleNames(child));
    }
    return names;
}

void TestDesktop::screenReadersSeeNamedControlsOnly()
{
    TestWindow window;
    window.form.show();
    QAccessibleInterface *root = QAccessible::queryAccessibleInterface(&window.form);
    QVERIFY(root);
    QCOMPARE(root->role(), QAccessible::Window);
    QCOMPARE(root->text(QAccessible::Name), QStringLiteral("Saltwick 0.2"));

    const QMap<QString, QString> names = accessibleNames(root);
    QVERIFY2(!names.contains("broken link"), qPrintable(names.value("broken link")));
    for (const char *working : {"txtFile", "File1", "Dir1", "txt", "Label2", "lblOut"})
        QVERIFY2(!names.contains(working), working);
    for (const char *shown : {"Frame1", "Frame2", "Label1", "Label3", "Label4", "cmdBrowse",
                              "cmdSplit", "cmdMerge", "progress"})
        QVERIFY2(!names.value(shown).isEmpty(), shown);
    QCOMPARE(names.value("txtSize"), QStringLiteral("Error offset:"));
    QCOMPARE(names.value("List1"), QStringLiteral("Good parts ready to merge"));
}

void TestDesktop::returnPresses_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QString>("pressed");

    QTest::newRow("browse") << "cmdBrowse"
                            << "cmdBrowse";
    QTest::newRow("split") << "cmdSplit"
                           << "cmdSplit";
    QTest::newRow("merge") << "cmdMerge"
                           << "cmdMerge";
    QTest::newRow("size-box") << "txtSize"
                              << "cmdSplit";
}

void TestDesktop::returnPresses()
{
    QFETCH(QString, focused);
    QFETCH(QString, pressed);

    TestWindow window;
    window.get<QPushButton>("cmdMerge")->setEnabled(true);
    window.form.show();
    QSignalSpy clicks(window.get<QPushButton>(pressed.toLatin1().constData()),
                      &QPushButton::clicked);
    QWidget *control = window.get(focused.toLatin1().constData());
    control->setFocus();
    QTest::keyClick(control, Qt::Key_Return);
    QCOMPARE(clicks.count(), 1);
}

void TestDesktop::questionsAnswerTheirDefault_data()
{
    QTest::addColumn<Prompts::Answer>("byDefault");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("answer");

    QTest::newRow("return-no") << Prompts::Answer::No << int(Qt::Key_Return)
                               << int(QMessageBox::No);
    QTest::newRow("return-yes") << Prompts::Answer::Yes << int(Qt::Key_Return)
                                << int(QMessageBox::Yes);
    QTest::newRow("escape") << Prompts::Answer::Yes << int(Qt::Key_Escape) << int(QMessageBox::No);
}

// The real message box, shown without a nested event loop, so a failed check cannot hang.
void TestDesktop::questionsAnswerTheirDefault()
{
    QFETCH(Prompts::Answer, byDefault);
    QFETCH(int, key);
    QFETCH(int, answer);

    const std::unique_ptr<QMessageBox> box
        = MessageBoxPrompts::questionBox(QStringLiteral("Merge anyway?"), byDefault, nullptr);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QTest::keyClick(box.get(), Qt::Key(key));
    QCOMPARE(int(box->standardButton(box->clickedButton())), answer);
}

// The status line's text events reach a screen reader only from a status bar with a text
// interface; tools/atspi-dump.py --events shows them arrive over AT-SPI.
void TestDesktop::statusIsAnnounced()
{
    TestFolder dir;
    const QString movie = dir.filePath("movie.avi");
    QVERIFY(TestFiles::WritePattern(movie, 1000));
    TestWindow window;
    window.form.Form_Load(movie);
    window.form.show();
    QAccessibleInterface *line
        = QAccessible::queryAccessibleInterface(window.get<StatusLine>("Label1"));
    QCOMPARE(line->role(), QAccessible::StatusBar);
    QAccessibleTextInterface *text = line->textInterface();
    QVERIFY(text);

    window.setSizeBox("100");
    window.click("cmdSplit");
    QCOMPARE(window.status(), QStringLiteral("Done"));
    QCOMPARE(line->text(QAccessible::Name), QStringLiteral("Done"));
    QCOMPARE(text->text(0, text->characterCount()), QStringLiteral("Done"));
    QCOMPARE(text->text(1, 3), QStringLiteral("on"));
}

void TestDesktop::longStatusIsElidedInTheMiddle()
{
    TestFolder dir;
    const QString folder = dir.filePath(QString(30, u'f') + u'/' + QString(30, u'g'));
    QVERIFY(QDir().mkpath(folder));
    const QString movie = folder + QStringLiteral("/the movie.avi");
    QVERIFY(TestFiles::WritePattern(movie, 10));

    TestWindow window;
    window.form.Form_Load(movie);
    window.form.show();
    auto *status = window.get<StatusLine>("Label1");

    QCOMPARE(status->text(), movie);
    const QString shown = status->shownText();
    QVERIFY2(shown.startsWith(movie.left(4)) && shown.endsWith(QStringLiteral("the movie.avi")),
             qPrintable(shown));
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(status->fontMetrics().horizontalAdvance(shown) <= status->contentsRect().width());
    QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), movie);

    QHelpEvent help(QEvent::ToolTip, status->rect().center(),
                    status->mapToGlobal(status->rect().center()));
    QApplication::sendEvent(status, &help);
    QTRY_COMPARE(QToolTip::text(), movie);
}

void TestDesktop::translations_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("german");

    QTest::newRow("german") << "de_DE" << true;
    QTest::newRow("austrian") << "de_AT" << true;
    QTest::newRow("english") << "en_US" << false;
    QTest::newRow("c") << "C" << false;
    QTest::newRow("no-catalogue") << "fi_FI" << false;
}

void TestDesktop::translations()
{
    QFETCH(QString, locale);
    QFETCH(bool, german);

    QLocale::setDefault(QLocale(locale));
    Translations::Install(*QCoreApplication::instance());
    TestWindow window;
    window.click("cmdSplit");

    const QStringList english = {"1. Copying the good part into a seperate file", "Merge Back",
                                 "No file to load", "File doesn't exist"};
    const QStringList shown
        = {window.get<QGroupBox>("Frame2")->title(), window.get<QPushButton>("cmdMerge")->text(),
           window.status(), window.prompts.messages.value(0)};
    for (int i = 0; i < english.size(); ++i) {
        if (german)
            QVERIFY2(shown.at(i) != english.at(i) && !shown.at(i).isEmpty(),
                     qPrintable(shown.at(i)));
        else
            QCOMPARE(shown.at(i), english.at(i));
    }
    QCOMPARE(window.form.windowTitle(), QStringLiteral("Saltwick 0.2"));
    // Qt's own catalogue comes with Saltwick's: the buttons of a question.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"),
             german ? QStringLiteral("&Nein") : QStringLiteral("&No"));
}

void TestDesktop::optionsNeedNoDisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("printed");

    QTest::newRow("version") << "--version"
                             << "Saltwick 1.00.0055\n";
    QTest::newRow("help") << "--help"
                          << "Usage: saltwick [FILE]\n";
}

void TestDesktop::optionsNeedNoDisplay()
{
    QFETCH(QString, option);
    QFETCH(QString, printed);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(SALTWICK_PROGRAM), {option});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(QString::fromUtf8(program.readAllStandardOutput()).startsWith(printed),
             qPrintable(program.readAllStandardError()));
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
