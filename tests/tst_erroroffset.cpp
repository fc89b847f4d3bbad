#include "ErrorOffset.h"

#include <QTest>

using namespace ErrorOffset;

namespace {

// How the box came out of the rule: as typed, rewritten to a size, or refused as typed.
enum Status { Unchanged, Rewritten, Unreadable };
struct Entry
{
    Status status;
    QString text;
};

Entry apply(const QString &box, const QLocale &locale)
{
    const Expected<QString> applied = ApplyErrorOffset(box, locale);
    if (!applied)
        return {Unreadable, box};
    return {*applied == box ? Unchanged : Rewritten, *applied};
}

} // namespace

class TestErrorOffset : public QObject
{
    Q_OBJECT

private slots:
    void applyErrorOffset_data();
    void applyErrorOffset();
    void followsTheLocale_data();
    void followsTheLocale();
    void readSplitSize_data();
    void readSplitSize();
};

void TestErrorOffset::applyErrorOffset_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("after");

    const int unchanged = Unchanged;
    const int rewritten = Rewritten;
    const int unreadable = Unreadable;

    QTest::newRow("pasted-line") << "Error at offset: 1234567 (12D687h)" << rewritten << "1184567";
    QTest::newRow("no-remark") << "bad frame at offset: 5000000" << rewritten << "4950000";
    // Two characters always go after the keyword: with one blank the first digit goes too.
    QTest::newRow("one-separator") << "Error at offset 1234567 (12D687h)" << rewritten << "184567";
    // The character before the parenthesis always goes: here the last digit.
    QTest::newRow("no-blank-before-remark") << "x offset: 1234567(5)" << rewritten << "73456";
    QTest::newRow("keyword-first") << "offset: 1234567" << unchanged << "offset: 1234567";
    QTest::newRow("letter-case") << "Error at Offset: 1234567" << unchanged
                                 << "Error at Offset: 1234567";
    QTest::newRow("below-margin") << "at offset: 40000" << rewritten << "-10000";
    QTest::newRow("just-above-margin") << "at offset: 50001" << rewritten << "1";
    QTest::newRow("at-margin") << "at offset: 50000" << rewritten << "0";
    QTest::newRow("plain-number") << "1184567" << unchanged << "1184567";
    QTest::newRow("empty") << "" << unchanged << "";
    QTest::newRow("blanks-around") << "at offset:   1234567   " << rewritten << "1184567";
    QTest::newRow("second-keyword-ignored")
        << "at offset: 60000 offset: 1" << unreadable << "at offset: 60000 offset: 1";
    // Lines the strict reading refuses leave the box as the user typed it.
    QTest::newRow("nothing-after-keyword") << "at offset" << unreadable << "at offset";
    QTest::newRow("one-after-keyword") << "at offset:" << unreadable << "at offset:";
    QTest::newRow("two-after-keyword") << "at offset: " << unreadable << "at offset: ";
    QTest::newRow("hexadecimal") << "at offset: 12D687h" << unreadable << "at offset: 12D687h";
    QTest::newRow("trailing-words")
        << "at offset: 1234567 bytes" << unreadable << "at offset: 1234567 bytes";
    QTest::newRow("remark-right-after") << "at offset: (12)" << unreadable << "at offset: (12)";
    QTest::newRow("group-separators")
        << "at offset: 1,234,567" << unreadable << "at offset: 1,234,567";
    QTest::newRow("exponent") << "at offset: 1E6" << rewritten << "950000";
    QTest::newRow("negative") << "at offset: -5" << rewritten << "-50005";
}

void TestErrorOffset::applyErrorOffset()
{
    QFETCH(QString, box);
    QFETCH(int, status);
    QFETCH(QString, after);

    const Entry entry = apply(box, QLocale::c());
    QCOMPARE(int(entry.status), status);
    QCOMPARE(entry.text, after);
}

void TestErrorOffset::followsTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("after");

    QTest::newRow("english-fraction") << "en_US"
                                      << "at offset: 60000.5" << int(Rewritten) << "10000.5";
    QTest::newRow("german-fraction") << "de_DE"
                                     << "at offset: 60000,5" << int(Rewritten) << "10000,5";
    QTest::newRow("german-refuses-full-stop")
        << "de_DE"
        << "at offset: 60000.5" << int(Unreadable) << "at offset: 60000.5";
    QTest::newRow("english-refuses-comma")
        << "en_US"
        << "at offset: 60000,5" << int(Unreadable) << "at offset: 60000,5";
    QTest::newRow("german-whole") << "de_DE"
                                  << "at offset: 1234567" << int(Rewritten) << "1184567";
}

void TestErrorOffset::followsTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, box);
    QFETCH(int, status);
    QFETCH(QString, after);

    const Entry entry = apply(box, QLocale(locale));
    QCOMPARE(int(entry.status), status);
    QCOMPARE(entry.text, after);
}

void TestErrorOffset::readSplitSize_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<qint64>("size"); // 0 when invalid

    QTest::newRow("plain") << "1184567" << qint64(1184567);
    QTest::newRow("blanks-between-digits") << "1 184 567" << qint64(1184567);
    QTest::newRow("tabs-and-line-feeds") << "\t1184\n567 " << qint64(1184567);
    QTest::newRow("stops-at-comma") << "1,184,567" << qint64(1);
    QTest::newRow("stops-at-letters") << "12abc" << qint64(12);
    QTest::newRow("below-one-before-rounding") << "0.6" << qint64(0);
    QTest::newRow("half-up-to-even") << "1.5" << qint64(2);
    QTest::newRow("half-down-to-even") << "1000.5" << qint64(1000);
    QTest::newRow("half-up-to-even-again") << "1001.5" << qint64(1002);
    QTest::newRow("exactly-one") << "1" << qint64(1);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("zero") << "0" << qint64(0);
    QTest::newRow("negative") << "-10000" << qint64(0);
    QTest::newRow("plus-sign") << "+7" << qint64(7);
    QTest::newRow("text") << "offset: 1234567" << qint64(0);
    QTest::newRow("exponent-e") << "1e3" << qint64(1000);
    QTest::newRow("exponent-d") << "1D3" << qint64(1000);
    QTest::newRow("exponent-signed") << "25e-1" << qint64(2);
    QTest::newRow("exponent-without-digits") << "12e" << qint64(12);
    QTest::newRow("hexadecimal") << "&H1F" << qint64(31);
    QTest::newRow("hexadecimal-lower") << "&hff" << qint64(255);
    QTest::newRow("octal") << "&O17" << qint64(15);
    QTest::newRow("octal-stops-at-eight") << "&O18" << qint64(1);
    QTest::newRow("fraction-only") << ".5" << qint64(0);
    QTest::newRow("comma-is-not-a-decimal-point") << "2,5" << qint64(2);
    QTest::newRow("beyond-a-double") << "1e999" << qint64(0);
    QTest::newRow("large-exact") << "9007199254740992" << qint64(9007199254740992LL);
    QTest::newRow("five-gigabytes") << "5368709120" << qint64(5368709120LL);
}

void TestErrorOffset::readSplitSize()
{
    QFETCH(QString, box);
    QFETCH(qint64, size);

    const std::optional<qint64> read = ReadSplitSize(box);
    QCOMPARE(read.value_or(0), size);
}

QTEST_GUILESS_MAIN(TestErrorOffset)
#include "tst_erroroffset.moc"
