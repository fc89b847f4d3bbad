#include "TestFiles.h"
#include "TestFolder.h"
#include "TestServer.h"
#include "TestWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <csignal>

namespace {

const qint64 Overlap = 1024 * 1024;
// What the bound on the bytes off the wire allows beyond the missing bytes and the overlaps.
const qint64 Slack = 64 * 1024;

} // namespace

// The rest of a file fetched from real servers on this machine: nginx, Python's http.server
// and a server of our own that gets things wrong on purpose, each started by the test at a
// free port on 127.0.0.1 and stopped after it. saltwick-cli runs as a process, so that exit
// codes, messages and signals are the user's.
class TestFetch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void repairsADownloadFromNginx();
    void namesTheFixedFile_data();
    void namesTheFixedFile();
    void refusesWhatTheServerGetsWrong_data();
    void refusesWhatTheServerGetsWrong();
    void streamsTheWholeFileOnlyWhenAsked();
    void resumesADroppedConnection();
    void goesOnAfterBeingKilled();
    void stopsAtSigtermWithTheGoodPartAsItWas();
    void followsRedirectsAndSaysWhere();
    void trustsTheCertificateItIsGiven();
    void fetchesFromTheWindow_data();
    void fetchesFromTheWindow();

private:
    struct Outcome
    {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };
    Outcome run(const QStringList &arguments, const QStringList &environment = {});
    void start(QProcess &process, const QStringList &arguments);
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString served(const QString &name) const { return m_dir->filePath("root/" + name); }
    // The original in the server's folder, its first `kept` bytes as the good part.
    void writeFiles(qint64 length, qint64 kept);
    // The names in the test's folder and what each holds.
    QMap<QString, QByteArray> folderContents() const;
    bool waitForSize(const QString &file, qint64 atLeast, QProcess &process);

    QByteArray m_original;
    std::unique_ptr<TestFolder> m_dir;
    std::unique_ptr<TestFolder> m_serverDir;
};

void TestFetch::initTestCase()
{
    if (QStandardPaths::findExecutable("nginx").isEmpty() && !QFileInfo::exists("/usr/sbin/nginx"))
        QSKIP("nginx is not installed (bash dev.sh installs it)");
}

void TestFetch::init()
{
    m_dir = std::make_unique<TestFolder>();
    m_serverDir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid() && m_serverDir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir("root"));
}

TestFetch::Outcome TestFetch::run(const QStringList &arguments, const QStringList &environment)
{
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    // NAME=VALUE sets a variable, NAME= takes it away.
    for (const QString &variable : environment) {
        const QString value = variable.section(u'=', 1);
        if (value.isEmpty())
            variables.remove(variable.section(u'=', 0, 0));
        else
            variables.insert(variable.section(u'=', 0, 0), value);
    }
    process.setProcessEnvironment(variables);
    process.start(QStringLiteral(SALTWICK_CLI), arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

void TestFetch::start(QProcess &process, const QStringList &arguments)
{
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(SALTWICK_CLI), arguments);
    QVERIFY(process.waitForStarted());
}

void TestFetch::writeFiles(qint64 length, qint64 kept)
{
    m_original = TestFiles::Pattern(length, 7);
    QVERIFY(TestFiles::Write(served("movie.avi"), m_original));
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(kept)));
}

QMap<QString, QByteArray> TestFetch::folderContents() const
{
    QMap<QString, QByteArray> contents;
    const QDir folder(m_dir->path());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        contents.insert(name, TestFiles::Read(folder.filePath(name)));
    return contents;
}

bool TestFetch::waitForSize(const QString &file, qint64 atLeast, QProcess &process)
{
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo(file).size() < atLeast) {
        if (process.state() != QProcess::Running || waited.elapsed() > 60000)
            return false;
        QThread::msleep(5);
    }
    return true;
}

void TestFetch::repairsADownloadFromNginx()
{
    // An AVI damaged at 90 %: the scan finds it, split keeps what is before, nginx sends the
    // rest.
    TestFolder made;
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                            "-t", "8", "-c:v", "mpeg4", "-q:v", "2", made.filePath("m.avi")});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0)
        QSKIP("ffmpeg cannot make a test AVI");
    const QByteArray original = TestFiles::Read(made.filePath("m.avi"));
    QByteArray broken = original;
    const qint64 damage = original.size() * 9 / 10;
    broken.replace(damage, 60000, QByteArray(60000, '<'));
    QVERIFY(TestFiles::Write(served("movie.avi"), original));
    QVERIFY(TestFiles::Write(path("movie.avi"), broken));

    TestServer server(m_serverDir->path());
    QVERIFY2(server.startNginx(path("root")), qPrintable(server.whyNot()));
    const Outcome outcome = run({"repair", "movie.avi", server.url("movie.avi")});
    QVERIFY2(outcome.status == 0, outcome.err.constData());
    QCOMPARE(outcome.out, (path("movie-.avi") + u'\n').toUtf8());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), original);
    QCOMPARE(TestFiles::Read(path("movie.avi")), broken);
    QVERIFY(!QFile::exists(path("movie.QQQ")));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"movie-.avi", "movie.avi"}));
    // The good part ends before the damage; only what lies beyond it came off the wire.
    const qint64 missing = original.size() - (damage - 50000);
    QVERIFY2(server.totalBytesSent() <= missing + Overlap + Slack,
             qPrintable(QString::number(server.totalBytesSent())));
}

void TestFetch::namesTheFixedFile_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("fixed");

    QTest::newRow("fetch") << "movie.QQQ" << QStringList{"fetch", "movie.QQQ"} << "movie-.avi";
    QTest::newRow("fetch-output") << "movie.QQQ"
                                  << QStringList{"fetch", "--output", "mine.avi", "movie.QQQ"}
                                  << "mine.avi";
    QTest::newRow("repair-mkv") << "film.mkv"
                                << QStringList{"repair", "--at", "3000000", "film.mkv"}
                                << "film-.mkv";
    QTest::newRow("repair-error-line")
        << "film.mkv" << QStringList{"repair", "--at", "Error at offset: 3050000", "film.mkv"}
        << "film-.mkv";
}

void TestFetch::namesTheFixedFile()
{
    QFETCH(QString, local);
    QFETCH(QStringList, arguments);
    QFETCH(QString, fixed);

    m_original = TestFiles::Pattern(5000000, 3);
    QVERIFY(TestFiles::Write(served("movie.avi"), m_original));
    // A broken download: right up to 3 MB, then garbage.
    QByteArray broken = m_original;
    broken.replace(3000000, 100000, QByteArray(100000, '<'));
    QVERIFY(
        TestFiles::Write(path(local), local.endsWith("QQQ") ? m_original.left(3000000) : broken));
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startNginx(path("root")), qPrintable(server.whyNot()));
    const Outcome outcome = run(arguments << server.url("movie.avi") << "--quiet");
    QVERIFY2(outcome.status == 0, outcome.err.constData());
    QCOMPARE(outcome.out, (path(fixed) + u'\n').toUtf8());
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(TestFiles::Read(path(fixed)), m_original);
    if (!local.endsWith("QQQ"))
        QCOMPARE(TestFiles::Read(path(local)), broken);
}

void TestFetch::refusesWhatTheServerGetsWrong_data()
{
    QTest::addColumn<QString>("server"); // nginx, python or a mode of fetch-server.py
    QTest::addColumn<qint64>("after");
    QTest::addColumn<int>("times");
    QTest::addColumn<QByteArray>("served"); // what the server holds as movie.avi
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");

    const QByteArray original = TestFiles::Pattern(5000000, 7);
    const QByteArray other = TestFiles::Pattern(5000000, 8);
    QTest::newRow("ranges-ignored") << "python" << qint64(0) << 0 << original << 80
                                    << "ignores requests for part of a file: fetching the rest "
                                       "would download all 5000000 bytes";
    QTest::newRow("wrong-offset") << "wrong-offset" << qint64(0) << 0 << original << 80
                                  << "sent the bytes from byte 1955521 on when asked for those "
                                     "from byte 1951425 on";
    QTest::newRow("changed-file") << "change" << qint64(2000000) << 1 << original << 80
                                  << "changed on the server";
    QTest::newRow("total-changes") << "total-changes" << qint64(2000000) << 1 << original << 80
                                   << "changed from 5000000 to 5001000 bytes";
    QTest::newRow("short-body") << "short" << qint64(0) << 0 << original << 80
                                << "sends 3047576 bytes, not the 3048576";
    QTest::newRow("long-body") << "long" << qint64(0) << 0 << original << 80
                               << "sends 3049576 bytes, not the 3048576";
    QTest::newRow("not-found") << "status" << qint64(404) << 0 << original << 80
                               << "HTTP status 404";
    QTest::newRow("server-error") << "status" << qint64(503) << 0 << original << 80
                                  << "HTTP status 503";
    QTest::newRow("too-many-redirects")
        << "redirect" << qint64(0) << 11 << original << 80 << "redirected more than 10 times";
    QTest::newRow("compressed") << "encoded" << qint64(0) << 0 << original << 80
                                << "compressed (gzip)";
    QTest::newRow("connection-keeps-breaking")
        << "drop" << qint64(1000000) << 99 << original << 80 << "broke 3 times in a row";
    QTest::newRow("no-server") << "none" << qint64(0) << 0 << original << 80 << "cannot be reached";
    QTest::newRow("different-file")
        << "nginx" << qint64(0) << 0 << other << 1 << "does not match the good part before byte";
    QTest::newRow("not-longer") << "nginx" << qint64(0) << 0 << original.left(3000000) << 1
                                << "is not longer than the good part";
    QTest::newRow("much-shorter") << "nginx" << qint64(0) << 0 << original.left(1000) << 1
                                  << "is not longer than the good part";
}

void TestFetch::refusesWhatTheServerGetsWrong()
{
    QFETCH(QString, server);
    QFETCH(qint64, after);
    QFETCH(int, times);
    QFETCH(QByteArray, served);
    QFETCH(int, status);
    QFETCH(QString, says);

    m_original = TestFiles::Pattern(5000000, 7);
    QVERIFY(TestFiles::Write(this->served("movie.avi"), served));
    QVERIFY(TestFiles::Write(this->served("movie.avi.new"), TestFiles::Pattern(5000000, 9)));
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(3000000)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original.left(3100000)));
    const QMap<QString, QByteArray> before = folderContents();

    TestServer web(m_serverDir->path());
    bool started = true;
    if (server == QStringLiteral("nginx"))
        started = web.startNginx(path("root"));
    else if (server == QStringLiteral("python"))
        started = web.startPythonHttp(path("root"));
    else if (server != QStringLiteral("none"))
        started = web.startMisbehaving(path("root"), server, after, times);
    QVERIFY2(started, qPrintable(web.whyNot()));
    const QString address = server == QStringLiteral("none")
                                ? QStringLiteral("http://127.0.0.1:9/movie.avi")
                                : web.url("movie.avi");

    const Outcome outcome = run({"fetch", "--retries", "2", "movie.QQQ", address});
    QCOMPARE(outcome.status, status);
    QVERIFY2(outcome.err.contains(says.toUtf8()), outcome.err.constData());
    QCOMPARE(outcome.out, QByteArray());
    if (server == QStringLiteral("drop")) {
        // What came through is kept for the next run, under the good part's name.
        QVERIFY(TestFiles::Read(path("movie.QQQ")).startsWith(m_original.left(3000000)));
        QVERIFY(m_original.startsWith(TestFiles::Read(path("movie.QQQ"))));
        return;
    }
    QCOMPARE(folderContents(), before);
}

void TestFetch::streamsTheWholeFileOnlyWhenAsked()
{
    writeFiles(5000000, 3000000);
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startPythonHttp(path("root")), qPrintable(server.whyNot()));
    const Outcome refused = run({"fetch", "movie.QQQ", server.url("movie.avi")});
    QCOMPARE(refused.status, 80);
    QVERIFY2(refused.err.contains("--whole"), refused.err.constData());
    QVERIFY(!QFile::exists(path("movie-.avi")));

    const Outcome outcome = run({"fetch", "--whole", "movie.QQQ", server.url("movie.avi")});
    QVERIFY2(outcome.status == 0, outcome.err.constData());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
}

void TestFetch::resumesADroppedConnection()
{
    writeFiles(8000000, 3000000);
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startMisbehaving(path("root"), "drop", 1500000, 3),
             qPrintable(server.whyNot()));
    const Outcome outcome = run({"fetch", "movie.QQQ", server.url("movie.avi")});
    QVERIFY2(outcome.status == 0, outcome.err.constData());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
    QCOMPARE(server.bytesSent().size(), 4);
    // Each resume asks for the last mebibyte again, to prove the join once more.
    QVERIFY2(server.totalBytesSent() <= 5000000 + 4 * Overlap + Slack,
             qPrintable(QString::number(server.totalBytesSent())));
}

void TestFetch::goesOnAfterBeingKilled()
{
    const qint64 kept = 4000000;
    writeFiles(20000000, kept);
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startNginx(path("root"), false, 8000000), qPrintable(server.whyNot()));

    QProcess first;
    start(first, {"fetch", "movie.QQQ", server.url("movie.avi")});
    QVERIFY(waitForSize(path("movie.QQQ"), kept + 8000000, first));
    first.kill();
    QVERIFY(first.waitForFinished());
    QTRY_COMPARE_WITH_TIMEOUT(server.bytesSent().size(), 1, 10000);
    const qint64 held = QFileInfo(path("movie.QQQ")).size();
    QVERIFY(m_original.startsWith(TestFiles::Read(path("movie.QQQ"))));
    QVERIFY(!QFile::exists(path("movie-.avi")));

    const Outcome second = run({"fetch", "movie.QQQ", server.url("movie.avi")});
    QVERIFY2(second.status == 0, second.err.constData());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"movie-.avi"}));
    const QList<qint64> sent = server.bytesSent();
    QCOMPARE(sent.size(), 2);
    QVERIFY2(sent.last() <= m_original.size() - held + Overlap + Slack,
             qPrintable(QString::number(sent.last())));
}

void TestFetch::stopsAtSigtermWithTheGoodPartAsItWas()
{
    const qint64 kept = 4000000;
    writeFiles(20000000, kept);
    const QMap<QString, QByteArray> before = folderContents();
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startNginx(path("root"), false, 8000000), qPrintable(server.whyNot()));

    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        QProcess fetch;
        start(fetch, {"fetch", "movie.QQQ", server.url("movie.avi")});
        QVERIFY(waitForSize(path("movie.QQQ"), kept + 2000000, fetch));
        ::kill(pid_t(fetch.processId()), signal);
        QVERIFY(fetch.waitForFinished(30000));
        // As a shell reports a command the signal ended: 128 and its number.
        QCOMPARE(fetch.exitCode(), 128 + signal);
        QCOMPARE(folderContents(), before);
    }
}

void TestFetch::followsRedirectsAndSaysWhere()
{
    writeFiles(5000000, 3000000);
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startMisbehaving(path("root"), "redirect", 0, 2), qPrintable(server.whyNot()));
    const Outcome outcome = run({"fetch", "movie.QQQ", server.url("movie.avi")});
    QVERIFY2(outcome.status == 0, outcome.err.constData());
    QVERIFY2(outcome.err.contains(server.url("hop2/movie.avi").toUtf8()), outcome.err.constData());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
}

void TestFetch::trustsTheCertificateItIsGiven()
{
    writeFiles(5000000, 3000000);
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startNginx(path("root"), true), qPrintable(server.whyNot()));
    const QMap<QString, QByteArray> before = folderContents();
    // The system's store does not know a certificate made a moment ago.
    const QStringList systemStore = {"CURL_CA_BUNDLE=", "SSL_CERT_FILE=", "SSL_CERT_DIR="};
    const Outcome untrusted = run({"fetch", "movie.QQQ", server.url("movie.avi")}, systemStore);
    QCOMPARE(untrusted.status, 80);
    QCOMPARE(folderContents(), before);

    const Outcome outcome
        = run({"fetch", "movie.QQQ", server.url("movie.avi")},
              {"CURL_CA_BUNDLE=", "SSL_CERT_DIR=", "SSL_CERT_FILE=" + server.certificate()});
    QVERIFY2(outcome.status == 0, outcome.err.constData());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
}

void TestFetch::fetchesFromTheWindow_data()
{
    QTest::addColumn<bool>("dropped");

    QTest::newRow("context-menu") << false;
    QTest::newRow("dropped-link") << true;
}

void TestFetch::fetchesFromTheWindow()
{
    QFETCH(bool, dropped);

    const qint64 kept = 4000000;
    writeFiles(12000000, kept);
    QVERIFY(TestFiles::Write(path("other.avi"), m_original.left(10)));
    TestServer server(m_serverDir->path());
    QVERIFY2(server.startNginx(path("root"), false, 16000000), qPrintable(server.whyNot()));

    TestWindow window;
    window.form.show();
    window.form.AddPendingMerge(path("movie.QQQ"));
    auto *list = window.get<QListWidget>("List1");
    list->item(0)->setSelected(true);
    // While it fetches, the window repaints, shows its progress and ignores other commands;
    // a close waits for the end.
    bool showedProgress = false;
    bool closedAtOnce = true;
    connect(&window.form, &Form1::copyYielded, this, [&] {
        if (showedProgress || QFileInfo(path("movie.QQQ")).size() < kept + 1000000)
            return;
        showedProgress = window.get<QProgressBar>("progress")->isVisible();
        closedAtOnce = window.tryEveryCommandAndClose(path("other.avi"));
    });
    if (dropped) {
        QMimeData link;
        link.setUrls({QUrl(server.url("movie.avi"))});
        QVERIFY(SendDrop(list->viewport(), link));
        QCOMPARE(window.prompts.textQuestions.size(), 0);
    } else {
        window.prompts.texts = {server.url("movie.avi")};
        window.form.findChild<QAction *>("actFetchRest")->trigger();
        QCOMPARE(window.prompts.textQuestions.size(), 1);
    }
    QCOMPARE(window.status(),
             QStringLiteral("Merge complete. %1 is the fixed file.").arg(path("movie-.avi")));
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
    QVERIFY(showedProgress);
    QVERIFY(!closedAtOnce);
    QVERIFY(!window.form.isVisible());
    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path("other.avi")), m_original.left(10));
}

QTEST_MAIN(TestFetch)
#include "tst_fetch.moc"
