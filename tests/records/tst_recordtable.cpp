#include "trecordmodel.h"
#include "trecordtable.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

using F = TRecordTable::Field;

// Appends one row whose text fields all hold text (aNO = number).
void addRow(TRecordTable &t, int number, const QString &text)
{
    t.Append();
    QVERIFY(t.Fields(F::aNO).SetValue(number));
    for (int f = 1; f < TRecordTable::FieldCount; ++f)
        QVERIFY(t.Fields(f).SetAsString(text));
    QVERIFY(t.Post());
}

// The texts a recording at one row a second really produces, for the memory figure.
void addRecordedRow(TRecordTable &t, qint64 i)
{
    const qint64 second = 1'700'000'000 + i;
    const QDateTime when = QDateTime::fromSecsSinceEpoch(second, Qt::UTC);
    t.Append();
    t.Fields(F::aNO).SetValue(int(t.RecordCount() + 1));
    t.Fields(F::aTime).SetAsString(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    t.Fields(F::aMMode).SetAsString(QStringLiteral("Cs"));
    t.Fields(F::aMValue).SetAsString(QString::number(1200 + (i * 7919) % 400 / 10.0, 'f', 1));
    t.Fields(F::aMUnit).SetAsString(QStringLiteral("nF"));
    t.Fields(F::aSMode).SetAsString(QStringLiteral("D"));
    t.Fields(F::aSValue).SetAsString(QString::number((i * 104729) % 2000 / 1000.0, 'f', 3));
    t.Fields(F::aSUnit).SetAsString(QString());
    t.Fields(F::aFreq).SetAsString(QStringLiteral("1KHz"));
    t.Post();
}

} // namespace

class TestRecordTable : public QObject
{
    Q_OBJECT

private slots:
    void fieldsByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        const char *names[] = {"aNO",    "aTime",   "aMMode", "aMValue", "aMUnit",
                               "aSMode", "aSValue", "aSUnit", "aFreq"};
        for (int i = 0; i < 9; ++i)
            QTest::newRow(names[i]) << QString(names[i]) << i;
        QTest::newRow("upper case") << "ANO" << 0;
        QTest::newRow("lower case") << "amvalue" << 3;
        QTest::newRow("mixed case") << "AfReQ" << 8;
        QTest::newRow("unknown") << "aValue" << -1;
        QTest::newRow("prefix only") << "aS" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void fieldsByName()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        TRecordTable t;
        QCOMPARE(TRecordTable::FieldIndex(name), index);
        const TRecordField field = t.FieldByName(name);
        QCOMPARE(field.IsValid(), index >= 0);
        if (index >= 0)
            QCOMPARE(field.FieldName(), TRecordTable::FieldName(index));
        t.Append();
        QCOMPARE(field.SetAsString(QStringLiteral("7")), index >= 0);
        QVERIFY(t.Post());
        QCOMPARE(t.IsNullAt(0, 0), index != 0);
        if (index >= 0)
            QCOMPARE(t.TextAt(0, index), QStringLiteral("7"));
    }

    // The cut counts characters and keeps a multi-byte character whole or not at all.
    void textsAreCutTo20Characters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("stored");
        const QString theta(QChar(0x03B8));
        const QString smile = QString::fromUcs4(U"\U0001F600");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("20 ascii") << QString(20, 'x') << QByteArray(20, 'x');
        QTest::newRow("21 ascii") << QString(21, 'x') << QByteArray(20, 'x');
        QTest::newRow("theta") << theta << QByteArray("\xCE\xB8");
        QTest::newRow("21 thetas") << theta.repeated(21) << QByteArray("\xCE\xB8").repeated(20);
        QTest::newRow("19 ascii, 2 thetas")
            << QString(19, 'a') + theta + theta << QByteArray(19, 'a') + "\xCE\xB8";
        QTest::newRow("20 ascii, theta") << QString(20, 'a') + theta << QByteArray(20, 'a');
        QTest::newRow("4-byte characters")
            << smile.repeated(22) << QByteArray("\xF0\x9F\x98\x80").repeated(20);
    }
    void textsAreCutTo20Characters()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, stored);
        TRecordTable t;
        t.Append();
        QVERIFY(t.Fields(F::aSMode).SetAsString(text));
        QCOMPARE(t.Fields(F::aSMode).AsString(), QString::fromUtf8(stored)); // before the post
        QVERIFY(t.Post());
        QCOMPARE(t.BytesAt(0, F::aSMode), stored);
        QCOMPARE(t.TextAt(0, F::aSMode), QString::fromUtf8(stored));
        QVERIFY(!t.IsNullAt(0, F::aSMode));
    }

    // Texts come back byte for byte, whatever part of them the table keeps out of its pool.
    void textsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text :
             {"2026-12-08 09:05:07", "2026-12-08 09.05.00", "12.87", "12,87", ".1234", "0", "7",
              "00", "99", "100", "5a", "a05", "OL", "-", "SHORT", "100KHz", "Ohm", " 1 ", "20000"})
            QTest::newRow(text) << QString::fromLatin1(text);
    }
    void textsRoundTrip()
    {
        QFETCH(QString, text);
        TRecordTable t;
        addRow(t, 1, text);
        addRow(t, 2, text + QLatin1Char('1'));
        for (int f = 1; f < TRecordTable::FieldCount; ++f) {
            QCOMPARE(t.TextAt(0, f), text);
            QCOMPARE(t.ValueAt(0, f), QVariant(text));
            QCOMPARE(t.TextAt(1, f), (text + QLatin1Char('1')).left(20));
        }
    }

    void numberField_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("int") << QVariant(42) << true << QVariant(42);
        QTest::newRow("negative") << QVariant(-7) << true << QVariant(-7);
        QTest::newRow("text") << QVariant("123") << true << QVariant(123);
        QTest::newRow("text with blanks") << QVariant(" -5 ") << true << QVariant(-5);
        QTest::newRow("largest") << QVariant(qint64(2147483647)) << true << QVariant(2147483647);
        QTest::newRow("too large") << QVariant(qint64(2147483648)) << false << QVariant();
        QTest::newRow("too large text") << QVariant("2147483648") << false << QVariant();
        QTest::newRow("not a number") << QVariant("12a") << false << QVariant();
        QTest::newRow("empty text") << QVariant("") << false << QVariant();
        QTest::newRow("fraction") << QVariant(2.5) << false << QVariant();
        QTest::newRow("whole double") << QVariant(3.0) << true << QVariant(3);
        QTest::newRow("null clears") << QVariant() << true << QVariant();
    }
    void numberField()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, taken);
        QFETCH(QVariant, stored);
        TRecordTable t;
        t.Append();
        QCOMPARE(t.Fields(F::aNO).SetValue(value), taken);
        QVERIFY(t.Post());
        QCOMPARE(t.ValueAt(0, F::aNO), stored);
        QCOMPARE(t.IsNullAt(0, F::aNO), !stored.isValid());
        QCOMPARE(t.TextAt(0, F::aNO), stored.isValid() ? stored.toString() : QString());
    }

    void nullsAndEmptyTextsDiffer()
    {
        TRecordTable t;
        t.Append();
        QVERIFY(t.Fields(F::aMValue).SetAsString(QString()));
        QVERIFY(t.Fields(F::aSValue).SetAsString(QStringLiteral("x")));
        QVERIFY(t.Fields(F::aSValue).SetValue(QVariant())); // null clears
        QVERIFY(t.Post());
        QVERIFY(!t.IsNullAt(0, F::aMValue));
        QCOMPARE(t.ValueAt(0, F::aMValue), QVariant(QString()));
        for (int f : {0, 1, 2, 4, 5, 6, 7, 8}) {
            QVERIFY(t.IsNullAt(0, f));
            QVERIFY(!t.ValueAt(0, f).isValid());
        }
    }

    void pendingRowIsNotCounted()
    {
        TRecordTable t;
        QVERIFY(!t.Fields(F::aNO).SetValue(1)); // no row is being appended
        QVERIFY(!t.Post());
        t.Append();
        QCOMPARE(t.RecordCount(), 0);
        QVERIFY(t.Fields(F::aTime).SetAsString(QStringLiteral("t")));
        t.Cancel();
        QCOMPARE(t.RecordCount(), 0);
        QVERIFY(!t.Post());
        addRow(t, 5, QStringLiteral("a"));
        t.Append(); // a new row starts all null, whatever the last one held
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            QVERIFY(t.Fields(f).IsNull());
        QCOMPARE(t.RecordCount(), 1);
        QVERIFY(t.Post());
        QCOMPARE(t.RecordCount(), 2);
        QVERIFY(t.IsNullAt(1, F::aNO));
    }

    void walkingRows()
    {
        TRecordTable t;
        t.First();
        QVERIFY(t.Eof());
        QCOMPARE(t.RecNo(), -1);
        for (int i = 1; i <= 3; ++i)
            addRow(t, i, QString::number(i * 11));
        QCOMPARE(t.RecNo(), 2); // a posted row becomes the current one
        QStringList seen;
        for (t.First(); !t.Eof(); t.Next())
            seen << t.FieldByName(u"anO").AsString() + QLatin1Char('/')
                        + t.Fields(F::aFreq).AsString();
        QCOMPARE(seen, QStringList({"1/11", "2/22", "3/33"}));
        QCOMPARE(t.RecNo(), 2); // Next past the end stays on the last row
        QVERIFY(t.MoveTo(1));
        QCOMPARE(t.Fields(F::aNO).Value(), QVariant(2));
        QVERIFY(!t.Eof());
        QVERIFY(!t.MoveTo(3));
    }

    void emptyingKeepsTheFields()
    {
        TRecordTable t;
        for (int i = 1; i <= 5000; ++i) // more than one storage block
            addRow(t, i, QString::number(i));
        t.Empty();
        QCOMPARE(t.RecordCount(), 0);
        QVERIFY(t.Eof());
        QCOMPARE(t.RecNo(), -1);
        QVERIFY(t.IsNullAt(0, F::aNO));
        addRow(t, 9, QStringLiteral("after"));
        QCOMPARE(t.RecordCount(), 1);
        QCOMPARE(t.TextAt(0, F::aMMode), QStringLiteral("after"));
        QCOMPARE(t.ValueAt(0, F::aNO), QVariant(9));
    }

    // The grid does not follow while rows are walked or filled with its controls disabled;
    // enabling reports the new rows in one go.
    void disabledControlsHoldTheGrid()
    {
        TRecordTable t;
        TRecordModel model(&t);
        QAbstractItemModelTester tester(&model);
        addRow(t, 1, QStringLiteral("a"));
        QSignalSpy moved(&t, &TRecordTable::CurrentRowChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        t.DisableControls();
        t.DisableControls();
        for (int i = 2; i <= 4; ++i)
            addRow(t, i, QStringLiteral("b"));
        for (t.First(); !t.Eof(); t.Next()) {
        }
        QCOMPARE(model.rowCount(), 1);
        t.EnableControls();
        QCOMPARE(moved.count(), 0);
        QCOMPARE(inserted.count(), 0);
        t.EnableControls();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 1);
        QCOMPARE(inserted.at(0).at(2).toInt(), 3);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(0).value<qsizetype>(), qsizetype(3));
        t.EnableControls(); // unbalanced: changes nothing
        QCOMPARE(moved.count(), 1);
    }

    void modelShowsTheTable()
    {
        TRecordTable t;
        TRecordModel model(&t);
        QAbstractItemModelTester tester(&model);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        const QStringList titles = {"NO",    "Time",   "MMode", "MValue", "MUnit",
                                    "SMode", "SValue", "SUnit", "Freq"};
        QCOMPARE(model.columnCount(), 9);
        for (int c = 0; c < 9; ++c)
            QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), titles[c]);
        for (int i = 1; i <= 3; ++i)
            addRow(t, 1000 * i, QStringLiteral("v%1").arg(i));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(inserted.count(), 3); // one insertion a row, never a reset
        QCOMPARE(reset.count(), 0);
        QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("3000")); // no grouping
        QCOMPARE(model.index(1, 8).data().toString(), QStringLiteral("v2"));
        QVERIFY(!(model.flags(model.index(0, 3)) & Qt::ItemIsEditable));
        QVERIFY(!model.setData(model.index(0, 3), QStringLiteral("x")));
        t.Empty();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 0);
    }

    // A million recorded rows stay within 64 bytes a row of the table's own buffers.
    void bytesPerRow()
    {
        constexpr qint64 rows = 1'000'000;
        TRecordTable t;
        for (qint64 i = 0; i < rows; ++i)
            addRecordedRow(t, i);
        QCOMPARE(t.RecordCount(), rows);
        const double perRow = double(t.MemoryUsage()) / double(rows);
        qInfo("%.1f bytes a row", perRow);
        QVERIFY2(perRow <= 64.0, qPrintable(QString::number(perRow)));
        // The last rows read back as they went in.
        QCOMPARE(t.ValueAt(rows - 1, F::aNO), QVariant(int(rows)));
        QCOMPARE(t.TextAt(rows - 1, F::aTime),
                 QDateTime::fromSecsSinceEpoch(1'700'000'000 + rows - 1, Qt::UTC)
                     .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        QCOMPARE(t.TextAt(rows - 1, F::aFreq), QStringLiteral("1KHz"));
    }
};

QTEST_GUILESS_MAIN(TestRecordTable)
#include "tst_recordtable.moc"
