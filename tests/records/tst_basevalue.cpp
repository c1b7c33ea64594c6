#include "formatreading.h"
#include "tbasevalue.h"
#include "trecordtexts.h"

#include <QtTest>
#include <cmath>
#include <cstdlib>

Q_DECLARE_METATYPE(TUnitKind)

class TestBaseValue : public QObject
{
    Q_OBJECT

private slots:
    void readings_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("expected");
        QTest::addColumn<TUnitKind>("kind");
        const auto F = TUnitKind::Farad, H = TUnitKind::Henry, R = TUnitKind::Ohm;
        QTest::newRow("nF") << "123.4"
                            << "nF"
                            << "." << true << 1.234e-7 << F;
        QTest::newRow("pF four decimals") << ".1234"
                                          << "pF"
                                          << "." << true << 1.234e-13 << F;
        QTest::newRow("uF") << "47.00"
                            << "uF"
                            << "." << true << 4.7e-5 << F;
        QTest::newRow("mF") << "2.2"
                            << "mF"
                            << "." << true << 2.2e-3 << F;
        QTest::newRow("uH") << "4.7"
                            << "uH"
                            << "." << true << 4.7e-6 << H;
        QTest::newRow("mH") << "10.00"
                            << "mH"
                            << "." << true << 1e-2 << H;
        QTest::newRow("H") << "1.000"
                           << "H"
                           << "." << true << 1.0 << H;
        QTest::newRow("kH") << "2"
                            << "kH"
                            << "." << true << 2e3 << H;
        QTest::newRow("Ohm") << "99.99"
                             << "Ohm"
                             << "." << true << 99.99 << R;
        QTest::newRow("KOhm") << "4.700"
                              << "KOhm"
                              << "." << true << 4700.0 << R;
        QTest::newRow("MOhm is mega") << "1.5"
                                      << "MOhm"
                                      << "." << true << 1.5e6 << R;
        QTest::newRow("percent") << "0.25"
                                 << "%"
                                 << "." << true << 0.25 << TUnitKind::Percent;
        QTest::newRow("degrees") << "89.9"
                                 << "Deg"
                                 << "." << true << 89.9 << TUnitKind::Degree;
        QTest::newRow("no unit") << "12"
                                 << ""
                                 << "." << true << 12.0 << TUnitKind::None;
        QTest::newRow("comma locale") << "123,4"
                                      << "nF"
                                      << "," << true << 1.234e-7 << F;
        QTest::newRow("Cp integer") << "12"
                                    << "uF"
                                    << "." << true << 1.2e-5 << F;
        QTest::newRow("blanks around") << " 1.5 "
                                       << " KOhm"
                                       << "." << true << 1500.0 << R;
        QTest::newRow("long mantissa") << "12345678901234567890"
                                       << "pF"
                                       << "." << true << 12345678.90123456789 << F;
        // Not numbers: status words, blanks, and texts written under another separator.
        QTest::newRow("OL") << "OL"
                            << "nF"
                            << "." << false << 0.0 << F;
        QTest::newRow("OPEN") << "OPEN"
                              << "nF"
                              << "." << false << 0.0 << F;
        QTest::newRow("dashes") << "-"
                                << "nF"
                                << "." << false << 0.0 << F;
        QTest::newRow("two dashes") << "--"
                                    << "nF"
                                    << "." << false << 0.0 << F;
        QTest::newRow("empty") << ""
                               << "nF"
                               << "." << false << 0.0 << F;
        QTest::newRow("separator alone") << ","
                                         << "nF"
                                         << "," << false << 0.0 << F;
        QTest::newRow("point under comma") << "123.4"
                                           << "nF"
                                           << "," << false << 0.0 << F;
        QTest::newRow("two separators") << "1.2.3"
                                        << "nF"
                                        << "." << false << 0.0 << F;
        QTest::newRow("exponent") << "1e3"
                                  << "Ohm"
                                  << "." << false << 0.0 << R;
        QTest::newRow("unknown unit") << "1.0"
                                      << "furlong"
                                      << "." << false << 0.0 << R;
        QTest::newRow("lower-case mOhm") << "1.0"
                                         << "mOhm"
                                         << "." << false << 0.0 << R;
    }
    void readings()
    {
        QFETCH(QString, value);
        QFETCH(QString, unit);
        QFETCH(QString, sep);
        QFETCH(bool, isNumber);
        QFETCH(double, expected);
        QFETCH(TUnitKind, kind);
        const auto got = BaseValue(value, unit, sep);
        QCOMPARE(got.has_value(), isNumber);
        if (!isNumber)
            return;
        QCOMPARE(got->Kind, kind);
        // The literal in the table is the double nearest the decimal value; so must this be.
        QCOMPARE(got->Value, expected);
    }

    // A quantity written in two units must give one number, or a batch read partly in nF and
    // partly in uF would split its median and matched sets over a rounding difference.
    void unitsAgree_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("unitA");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("unitB");
        QTest::newRow("0.1 uF = 100 nF") << ".1000"
                                         << "uF"
                                         << "100.0"
                                         << "nF";
        QTest::newRow("4.7 nF = 4700 pF") << "4.700"
                                          << "nF"
                                          << "4700"
                                          << "pF";
        QTest::newRow("1.5 KOhm = 1500 Ohm") << "1.5"
                                             << "KOhm"
                                             << "1500"
                                             << "Ohm";
        QTest::newRow("0.33 mH = 330 uH") << ".3300"
                                          << "mH"
                                          << "330.0"
                                          << "uH";
        QTest::newRow("2.2 MOhm = 2200 KOhm") << "2.2"
                                              << "MOhm"
                                              << "2200"
                                              << "KOhm";
    }
    void unitsAgree()
    {
        QFETCH(QString, a);
        QFETCH(QString, unitA);
        QFETCH(QString, b);
        QFETCH(QString, unitB);
        const QString sep = QStringLiteral(".");
        QCOMPARE(BaseValue(a, unitA, sep)->Value, BaseValue(b, unitB, sep)->Value);
    }

    // Every text the recording can write for a number reads back as the counts it came from,
    // under either separator: the texts are built the same way the recording builds them.
    void everyRecordedTextReadsBack()
    {
        for (const QString &sep : {QStringLiteral("."), QStringLiteral(",")}) {
            for (int decimals = 0; decimals <= 4; ++decimals) {
                for (int counts = 0; counts <= 65535; counts += 7) {
                    const QString text = *FormatReading(counts, decimals, true, sep);
                    const auto got = BaseValue(text, RecordUnitText(10), sep);
                    QVERIFY2(got, qPrintable(text));
                    const double want = std::strtod(
                        qPrintable(QStringLiteral("%1e%2").arg(counts).arg(-9 - decimals)),
                        nullptr);
                    if (got->Value != want)
                        QFAIL(qPrintable(
                            QStringLiteral("%1 nF read as %2").arg(text).arg(got->Value)));
                }
            }
        }
    }

    void kindTexts()
    {
        QCOMPARE(UnitKindText(TUnitKind::Farad), QStringLiteral("F"));
        QCOMPARE(UnitKindText(TUnitKind::Henry), QStringLiteral("H"));
        QCOMPARE(UnitKindText(TUnitKind::Ohm), QStringLiteral("Ohm"));
        QCOMPARE(UnitKindText(TUnitKind::Percent), QStringLiteral("%"));
        QCOMPARE(UnitKindText(TUnitKind::Degree), QStringLiteral("deg"));
        QCOMPARE(UnitKindText(TUnitKind::None), QString());
    }
};

QTEST_GUILESS_MAIN(TestBaseValue)
#include "tst_basevalue.moc"
