#include "AviScanner.h"
#include "TerminationSignals.h"
#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"

#include <QApplication>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <csignal>
#include <memory>

namespace {

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char *id, const QByteArray &data)
{
    return QByteArray(id, 4) + le32(quint32(data.size())) + data;
}

QByteArray list(const char *type, const QByteArray &children)
{
    return chunk("LIST", QByteArray(type, 4) + children);
}

// An AVI made to stall a scan: more empty JUNK chunks than the scanner keeps the headers
// of, then `targets` frames a block apart, and an ix00 of `entries` entries that point at
// them in turn, `entries` a whole number of turns. Every entry is right: nothing is damage.
QByteArray stallingAvi(int targets, qint64 entries)
{
    QByteArray mainHeader(56, '\0');
    mainHeader.replace(24, 4, le32(1)); // one stream
    const QByteArray hdrl
        = list("hdrl", chunk("avih", mainHeader)
                           + list("strl", chunk("strh", QByteArray("vids") + QByteArray(52, '\0'))
                                              + chunk("strf", QByteArray(40, '\0'))));
    QByteArray movi = chunk("JUNK", {}).repeated(200001);
    // Where the movie list's children start: after the RIFF, hdrl and movi headers.
    const qint64 childrenStart = 12 + hdrl.size() + 12;
    QByteArray cycle;
    for (int i = 0; i < targets; ++i) {
        // Entries point at the data, eight bytes past each header.
        cycle += le32(quint32(childrenStart + movi.size() + 8)) + le32(4096);
        movi += chunk("00dc", QByteArray(4096, 'v'));
    }
    const QByteArray fields = QByteArray("\x02\x00\x00\x01", 4) + le32(quint32(entries))
                              + QByteArray("00dc") + QByteArray(12, '\0');
    movi += chunk("ix00", fields + cycle.repeated(entries / targets));
    return chunk("RIFF", QByteArray("AVI ") + hdrl + list("movi", movi));
}

} // namespace

// A file made to stall the damage scan costs it a few reads, and a stop ends it.
class TestScanLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void indexesPointingAgainAndAgainCostFewReads_data();
    void indexesPointingAgainAndAgainCostFewReads();
    void stopEndsTheScan();
    void closeAndTerminationEndTheWindowsScan_data();
    void closeAndTerminationEndTheWindowsScan();

private:
    std::unique_ptr<TestFolder> m_dir;
    QString m_stalling;
};

void TestScanLimits::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("Saltwick"));
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    m_stalling = m_dir->filePath("stalling.avi");
    QVERIFY(TestFiles::Write(m_stalling, stallingAvi(2, 2000000)));
}

void TestScanLimits::indexesPointingAgainAndAgainCostFewReads_data()
{
    QTest::addColumn<int>("targets");
    QTest::addColumn<qint64>("entries");
    QTest::addColumn<qint64>("readsPerMiB");
    QTest::addColumn<bool>("allChecked");

    // Each header is read once, and every entry is checked.
    QTest::newRow("two-frames") << 2 << qint64(2000000) << qint64(64) << true;
    // More frames than the scanner remembers: the reads for them stop at what the file's size
    // allows, besides the walk's own.
    QTest::newRow("more-frames-than-remembered")
        << 8192 << qint64(8192 * 200) << qint64(1024 + 512) << false;
}

void TestScanLimits::indexesPointingAgainAndAgainCostFewReads()
{
    QFETCH(int, targets);
    QFETCH(qint64, entries);
    QFETCH(qint64, readsPerMiB);
    QFETCH(bool, allChecked);

    const QByteArray avi = targets == 2 ? QByteArray() : stallingAvi(targets, entries);
    const QString path = avi.isEmpty() ? m_stalling : m_dir->filePath("many.avi");
    if (!avi.isEmpty())
        QVERIFY(TestFiles::Write(path, avi));
    const qint64 mebibytes = QFileInfo(path).size() >> 20;

    AviScanner scanner(path);
    const Expected<ScanFinding> found = scanner.scan(CopyHooks());
    QVERIFY(found);
    QVERIFY(!found->damage);
    QVERIFY2(
        scanner.readsMade() <= readsPerMiB * mebibytes,
        qPrintable(QStringLiteral("%1 reads for %2 MiB").arg(scanner.readsMade()).arg(mebibytes)));
    QCOMPARE(found->checked.contains(QStringLiteral(" %1 index entries").arg(entries)), allChecked);
}

void TestScanLimits::stopEndsTheScan()
{
    int yields = 0;
    CopyHooks hooks;
    hooks.yield = [&] { ++yields; };
    hooks.stopRequested = [&] { return yields >= 3; };
    AviScanner scanner(m_stalling);
    const Expected<ScanFinding> found = scanner.scan(hooks);
    QVERIFY(!found);
    QCOMPARE(found.failure().reason(), RepairFailure::Reason::Interrupted);
    QCOMPARE(yields, 3);
}

void TestScanLimits::closeAndTerminationEndTheWindowsScan_data()
{
    QTest::addColumn<bool>("signalled");
    QTest::newRow("close") << false;
    QTest::newRow("termination-signal") << true;
}

// The scan of a file that takes long ends soon after a close or SIGTERM, and so does the
// program: the window closes, with no message and no result.
void TestScanLimits::closeAndTerminationEndTheWindowsScan()
{
    QFETCH(bool, signalled);

    TestWindow window;
    QVERIFY(window.showActive());
    // As the program's main() does: a termination signal closes the window.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::arrived, &window.form, &QWidget::close);
    window.form.Form_Load(m_stalling);

    int yieldsAfter = -1;
    QObject::connect(&window.form, &Form1::copyYielded, &window.form, [&] {
        if (yieldsAfter < 0) {
            yieldsAfter = 0;
            if (signalled)
                std::raise(SIGTERM);
            else
                window.form.close();
            return;
        }
        // Time passes as on a slow disk, so a close's short wait runs out mid-file.
        if (++yieldsAfter <= 100)
            QThread::msleep(20);
    });
    QTest::keyClick(&window.form, Qt::Key_F, Qt::ControlModifier);

    QVERIFY(yieldsAfter >= 0);
    QVERIFY2(yieldsAfter <= 50, qPrintable(QString::number(yieldsAfter)));
    QCOMPARE(window.status(), QStringLiteral("Looking for the damage, please wait..."));
    QCOMPARE(window.prompts.messages, QStringList());
    QTRY_VERIFY(!window.form.isVisible());
}

QTEST_MAIN(TestScanLimits)
#include "tst_scanlimits.moc"
