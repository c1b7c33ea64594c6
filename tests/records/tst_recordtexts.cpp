#include "trecordtexts.h"

#include <QtTest>

class TestRecordTexts : public QObject
{
    Q_OBJECT

private slots:
    void readingWords_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        const char *words[] = {"12.87", "",     "-",    "OL",   "",     "",
                               "ERR",   "PASS", "FAIL", "OPEN", "SHORT"};
        for (int s = 0; s <= 10; ++s)
            QTest::addRow("status %d", s) << s << QString(words[s]);
        QTest::newRow("status 11") << 11 << QString();
        QTest::newRow("status 31") << 31 << QString();
    }
    void readingWords()
    {
        QFETCH(int, status);
        QFETCH(QString, expected);
        QCOMPARE(RecordReadingText(status, QStringLiteral("12.87")), expected);
    }

    void modes_data()
    {
        QTest::addColumn<int>("mainMode");
        QTest::addColumn<int>("subMode");
        QTest::addColumn<bool>("parallel");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("sub");
        QTest::newRow("Ls ESR") << 1 << 3 << false << "Ls"
                                << "ESR";
        QTest::newRow("Lp RP") << 1 << 3 << true << "Lp"
                               << "RP";
        QTest::newRow("Cs D") << 2 << 1 << false << "Cs"
                              << "D";
        QTest::newRow("Cp RP") << 2 << 3 << true << "Cp"
                               << "RP";
        QTest::newRow("Rs Q") << 3 << 2 << false << "Rs"
                              << "Q";
        QTest::newRow("R with sub 3") << 3 << 3 << false << "Rs"
                                      << "";
        QTest::newRow("Rp theta") << 3 << 4 << true << "Rp" << QString(QChar(0x03B8));
        QTest::newRow("DCR series") << 4 << 3 << false << "DCR"
                                    << "";
        QTest::newRow("DCR parallel") << 4 << 0 << true << "DCR"
                                      << "";
        QTest::newRow("none") << 0 << 0 << false << ""
                              << "";
        QTest::newRow("mode 5 series") << 5 << 5 << false << "s"
                                       << "";
        QTest::newRow("mode 7 parallel") << 7 << 7 << true << "p"
                                         << "";
        QTest::newRow("none with sub 3") << 0 << 3 << true << ""
                                         << "";
    }
    void modes()
    {
        QFETCH(int, mainMode);
        QFETCH(int, subMode);
        QFETCH(bool, parallel);
        QFETCH(QString, main);
        QFETCH(QString, sub);
        QCOMPARE(RecordMainModeText(mainMode, parallel), main);
        QCOMPARE(RecordSubModeText(subMode, mainMode, parallel), sub);
    }

    void units()
    {
        const QStringList expected = {"",   "Ohm", "KOhm", "MOhm", "",   "uH", "mH", "H",
                                      "kH", "pF",  "nF",   "uF",   "mF", "%",  "Deg"};
        for (int u = 0; u < 32; ++u)
            QCOMPARE(RecordUnitText(u), u < 15 ? expected[u] : QString());
        QCOMPARE(RecordUnitText(-1), QString());
    }

    void frequencies()
    {
        const QStringList expected = {"100Hz", "120Hz", "1KHz", "10KHz", "100KHz", "", "", ""};
        for (int f = 0; f < 8; ++f)
            QCOMPARE(RecordFrequencyText(f), expected[f]);
    }
};

QTEST_GUILESS_MAIN(TestRecordTexts)
#include "tst_recordtexts.moc"
