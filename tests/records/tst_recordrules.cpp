#include "trecording.h"
#include "trecordtable.h"

#include <QDateTime>
#include <QtTest>

class TestRecordRules : public QObject
{
    Q_OBJECT

private slots:
    // Parallel capacitance at 100/120 Hz keeps only the whole part; nothing else is touched.
    void cpIntegerRule_data()
    {
        QTest::addColumn<bool>("parallel");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("frequency");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("whole"); // empty: the rule leaves the reading alone
        QTest::newRow("Cp 100 Hz") << true << 2 << 0 << 0 << "12.87"
                                   << "."
                                   << "12";
        QTest::newRow("Cp 120 Hz") << true << 2 << 1 << 0 << "12.87"
                                   << "."
                                   << "12";
        QTest::newRow("Cp 120 Hz .9999") << true << 2 << 1 << 0 << "1999.9"
                                         << "."
                                         << "1999";
        QTest::newRow("Cp four decimals") << true << 2 << 1 << 0 << ".1234"
                                          << "."
                                          << "0";
        QTest::newRow("Cp whole already") << true << 2 << 0 << 0 << "20000"
                                          << "."
                                          << "20000";
        QTest::newRow("Cp decimal comma") << true << 2 << 1 << 0 << "12,87"
                                          << ","
                                          << "12";
        QTest::newRow("Cp comma read with point") << true << 2 << 1 << 0 << "12,87"
                                                  << "."
                                                  << "";
        QTest::newRow("Cp 1 kHz") << true << 2 << 2 << 0 << "12.87"
                                  << "."
                                  << "";
        QTest::newRow("Cp 100 kHz") << true << 2 << 4 << 0 << "12.87"
                                    << "."
                                    << "";
        QTest::newRow("Cs 100 Hz") << false << 2 << 0 << 0 << "12.87"
                                   << "."
                                   << "";
        QTest::newRow("Lp 120 Hz") << true << 1 << 1 << 0 << "12.87"
                                   << "."
                                   << "";
        QTest::newRow("Rp 100 Hz") << true << 3 << 0 << 0 << "12.87"
                                   << "."
                                   << "";
        QTest::newRow("Cp overload") << true << 2 << 0 << 3 << " OL  "
                                     << "."
                                     << "";
        QTest::newRow("Cp blank display") << true << 2 << 0 << 0 << ""
                                          << "."
                                          << "";
        QTest::newRow("Cp word on display") << true << 2 << 0 << 0 << "OPEN  "
                                            << "."
                                            << "";
    }
    void cpIntegerRule()
    {
        QFETCH(bool, parallel);
        QFETCH(int, mode);
        QFETCH(int, frequency);
        QFETCH(int, status);
        QFETCH(QString, display);
        QFETCH(QString, sep);
        QFETCH(QString, whole);
        TMeterState s;
        s.Parallel = parallel;
        s.MainMode = std::uint8_t(mode);
        s.Frequency = frequency;
        s.MainStatus = std::uint8_t(status);
        const std::optional<QString> got = CpIntegerText(s, display, sep);
        QCOMPARE(got.value_or(QString()), whole);
        QCOMPARE(got.has_value(), !whole.isEmpty());
    }

    void timeText_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("text");
        const QDateTime morning(QDate(2026, 12, 8), QTime(9, 5, 7));
        QTest::newRow("colon") << morning << ":"
                               << "2026-12-08 09:05:07";
        QTest::newRow("point") << morning << "."
                               << "2026-12-08 09.05.07";
        QTest::newRow("24-hour clock") << QDateTime(QDate(2027, 1, 31), QTime(23, 59, 59)) << ":"
                                       << "2027-01-31 23:59:59";
        QTest::newRow("midnight, no milliseconds")
            << QDateTime(QDate(2026, 2, 3), QTime(0, 0, 0, 999)) << ":"
            << "2026-02-03 00:00:00";
    }
    void timeText()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, sep);
        QFETCH(QString, text);
        QCOMPARE(RecordTimeText(when, sep), text);
    }

    void timeSeparator_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("sep");
        QTest::newRow("24 h") << "HH:mm:ss"
                              << ":";
        QTest::newRow("12 h") << "h:mm AP"
                              << ":";
        QTest::newRow("Finnish") << "H.mm"
                                 << ".";
        QTest::newRow("quoted") << "HH 'h' mm"
                                << "h";
        QTest::newRow("no hour") << "mm:ss"
                                 << ":";
        QTest::newRow("no minute") << "HH"
                                   << ":";
        QTest::newRow("empty") << ""
                               << ":";
    }
    void timeSeparator()
    {
        QFETCH(QString, format);
        QFETCH(QString, sep);
        QCOMPARE(TimeSeparatorOf(format), sep);
    }

    // A row holds the number after the rows already there, whoever put them there.
    void appendedRow()
    {
        TRecordTable t;
        t.Append();
        t.Fields(TRecordTable::aNO).SetValue(41); // a row read from a file, numbered its way
        t.Post();
        TMeterState s;
        s.Parallel = true;
        s.MainMode = 1;
        s.MainStatus = 0;
        s.MainText = QStringLiteral("1.234");
        s.MainUnit = 6;
        s.SubMode = 3;
        s.SubStatus = 3;
        s.SubUnit = 2;
        s.Frequency = 3;
        const QDateTime when(QDate(2026, 12, 8), QTime(9, 5, 7));
        AppendRecord(t, s, when, QStringLiteral(":"));
        AppendRecord(t, s, when, QStringLiteral(":"));
        QCOMPARE(t.RecordCount(), 3);
        const QStringList expected = {
            "2", "2026-12-08 09:05:07", "Lp", "1.234", "mH", "RP", "OL", "KOhm", "10KHz"};
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            QCOMPARE(t.TextAt(1, f), expected[f]);
        QCOMPARE(t.ValueAt(2, TRecordTable::aNO), QVariant(3));
        QCOMPARE(t.RecNo(), 2);
    }
};

QTEST_GUILESS_MAIN(TestRecordRules)
#include "tst_recordrules.moc"
