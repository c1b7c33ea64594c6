// The record table as record files use it: texts taken and given back as bytes, whatever code
// page they are in, record numbers read from text, and a whole table appended to another.
#include "trecordmodel.h"
#include "trecordtable.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

using F = TRecordTable::Field;

QByteArray copied(const TRecordTable &t, qsizetype row, int field)
{
    char buffer[TRecordTable::MaxFieldBytes];
    const int n = t.CopyBytesAt(row, field, buffer);
    return n < 0 ? QByteArray("<null>") : QByteArray(buffer, n);
}

// A row of bytes: aNO from its text, then the eight texts; nullptr leaves a field null.
void addRow(TRecordTable &t, const char *number, std::initializer_list<const char *> texts)
{
    t.Append();
    if (number)
        QVERIFY(t.Fields(F::aNO).SetAsBytes(number));
    int f = 1;
    for (const char *text : texts) {
        if (text)
            QVERIFY(t.Fields(f).SetAsBytes(text));
        ++f;
    }
    QVERIFY(t.Post());
}

} // namespace

class TestRecordBytes : public QObject
{
    Q_OBJECT

private slots:
    // Twenty characters kept: a UTF-8 sequence is one character, any other byte is one.
    void storedLength_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("kept");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("25 ascii") << QByteArray(25, 'a') << 20;
        QTest::newRow("25 latin-1 letters") << QByteArray(25, '\xE9') << 20;
        QTest::newRow("25 continuation bytes") << QByteArray(25, '\x80') << 20;
        QTest::newRow("21 thetas") << QByteArray("\xCE\xB8").repeated(21) << 40;
        QTest::newRow("19 ascii, a 4-byte character, more")
            << QByteArray(19, 'a') + "\xF0\x9F\x98\x80" + "bc" << 23;
        QTest::newRow("a lead byte cut short at the end") << QByteArray("ab\xE2\x82") << 4;
        QTest::newRow("overlong form counts byte by byte")
            << QByteArray(18, 'a') + "\xC0\x80" + "x" << 20;
        QTest::newRow("surrogate counts byte by byte")
            << QByteArray(17, 'a') + "\xED\xA0\x80" + "x" << 20;
        QTest::newRow("past U+10FFFF counts byte by byte")
            << QByteArray(17, 'a') + "\xF4\x90\x80\x80" << 20;
        QTest::newRow("theta after a stray byte")
            << QByteArray("\xFF") + QByteArray("\xCE\xB8").repeated(20) << 39;
    }
    void storedLength()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, kept);
        QCOMPARE(TRecordTable::StoredLength(text), qsizetype(kept));
        TRecordTable t;
        t.Append();
        QVERIFY(t.Fields(F::aSUnit).SetAsBytes(text));
        QVERIFY(t.Post());
        QCOMPARE(t.BytesAt(0, F::aSUnit), text.left(kept));
    }

    // What a file's first piece or an XML value must look like to become a record number.
    void parseNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("number");
        QTest::newRow("digits") << QByteArray("42") << true << 42;
        QTest::newRow("leading zeros") << QByteArray("007") << true << 7;
        QTest::newRow("minus") << QByteArray("-12") << true << -12;
        QTest::newRow("plus") << QByteArray("+12") << true << 12;
        QTest::newRow("blanks around") << QByteArray(" \t-5\r ") << true << -5;
        QTest::newRow("largest") << QByteArray("2147483647") << true << 2147483647;
        QTest::newRow("smallest") << QByteArray("-2147483648") << true << int(-2147483648LL);
        QTest::newRow("too large") << QByteArray("2147483648") << false << 0;
        QTest::newRow("too small") << QByteArray("-2147483649") << false << 0;
        QTest::newRow("far too many digits") << QByteArray(40, '9') << false << 0;
        QTest::newRow("empty") << QByteArray() << false << 0;
        QTest::newRow("blanks only") << QByteArray("  ") << false << 0;
        QTest::newRow("sign only") << QByteArray("-") << false << 0;
        QTest::newRow("two signs") << QByteArray("+-1") << false << 0;
        QTest::newRow("blank inside") << QByteArray("1 2") << false << 0;
        QTest::newRow("fraction") << QByteArray("1.5") << false << 0;
        QTest::newRow("exponent") << QByteArray("1e3") << false << 0;
        QTest::newRow("hexadecimal") << QByteArray("0x10") << false << 0;
        QTest::newRow("header title") << QByteArray("NO") << false << 0;
    }
    void parseNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, taken);
        QFETCH(int, number);
        const std::optional<std::int32_t> parsed = TRecordTable::ParseNumber(text);
        QCOMPARE(parsed.has_value(), taken);
        if (taken)
            QCOMPARE(*parsed, number);
        TRecordTable t;
        t.Append();
        QCOMPARE(t.Fields(F::aNO).SetAsBytes(text), taken);
        QVERIFY(t.Post());
        QCOMPARE(copied(t, 0, F::aNO), taken ? QByteArray::number(number) : QByteArray("<null>"));
    }

    // Bytes that are no UTF-8 (a file from a system with another code page) come back as they
    // went in, through every way of reading a row.
    void bytesComeBackUnchanged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("latin-1 word") << QByteArray("r\xE9sistance");
        QTest::newRow("high bytes") << QByteArray("\x80\x9F\xA0\xFF\xFE");
        QTest::newRow("control bytes") << QByteArray("\x01\x1F\x7F");
        QTest::newRow("utf-8 theta") << QByteArray("\xCE\xB8");
        QTest::newRow("trailing digits") << QByteArray("\xE9"
                                                       "12");
        QTest::newRow("empty") << QByteArray("");
    }
    void bytesComeBackUnchanged()
    {
        QFETCH(QByteArray, text);
        TRecordTable t;
        t.Append();
        for (int f = 1; f < TRecordTable::FieldCount; ++f)
            QVERIFY(t.Fields(f).SetAsBytes(text));
        QVERIFY(t.Post());
        QVERIFY(t.Fields(F::aMUnit).SetAsBytes("stale") == false); // no row is being appended
        for (int f = 1; f < TRecordTable::FieldCount; ++f) {
            QCOMPARE(t.BytesAt(0, f), text);
            QCOMPARE(copied(t, 0, f), text);
            QVERIFY(!t.IsNullAt(0, f));
        }
        // A QByteArray value is taken as bytes too, not decoded as UTF-8 first.
        t.Append();
        QVERIFY(t.Fields(F::aTime).SetValue(QVariant(text)));
        QVERIFY(t.Post());
        QCOMPARE(t.BytesAt(1, F::aTime), text);
    }

    void copyGivesNullsAndNumbers()
    {
        TRecordTable t;
        addRow(t, "-2147483648", {"a", nullptr, "", "99"});
        addRow(t, nullptr, {});
        QCOMPARE(copied(t, 0, F::aNO), QByteArray("-2147483648"));
        QCOMPARE(copied(t, 0, F::aTime), QByteArray("a"));
        QCOMPARE(copied(t, 0, F::aMMode), QByteArray("<null>"));
        QCOMPARE(copied(t, 0, F::aMValue), QByteArray(""));
        QCOMPARE(copied(t, 0, F::aMUnit), QByteArray("99"));
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            QCOMPARE(copied(t, 1, f), QByteArray("<null>"));
        QCOMPARE(copied(t, 2, F::aNO), QByteArray("<null>")); // past the last row
        QCOMPARE(copied(t, 0, TRecordTable::FieldCount), QByteArray("<null>"));
    }

    // A pending row's buffers are reused, so a short text after a long one is not padded by
    // what the last row held.
    void reusedCellsHoldOnlyTheNewText()
    {
        TRecordTable t;
        addRow(t, "1", {"a long text of twenty", "x"});
        addRow(t, "2", {"b", nullptr});
        QCOMPARE(t.BytesAt(1, F::aTime), QByteArray("b"));
        QVERIFY(t.IsNullAt(1, F::aMMode));
        QCOMPARE(t.BytesAt(0, F::aTime), QByteArray("a long text of twent"));
    }

    // Another table's rows arrive in order, with nulls kept and texts re-pooled, reported to
    // the grid as one block, and the last of them current.
    void appendRows_data()
    {
        QTest::addColumn<int>("present");
        QTest::addColumn<int>("added");
        QTest::addColumn<bool>("disabled");
        QTest::newRow("into an empty table") << 0 << 3 << false;
        QTest::newRow("after rows present") << 2 << 3 << false;
        QTest::newRow("across storage blocks") << 4000 << 5000 << false;
        QTest::newRow("with the grid held") << 1 << 2 << true;
        QTest::newRow("nothing to add") << 2 << 0 << false;
    }
    void appendRows()
    {
        QFETCH(int, present);
        QFETCH(int, added);
        QFETCH(bool, disabled);
        TRecordTable target, source;
        for (int i = 0; i < present; ++i)
            addRow(target, QByteArray::number(i).constData(), {"here", "Cs"});
        TRecordModel model(&target);
        QAbstractItemModelTester tester(&model);
        for (int i = 0; i < added; ++i) {
            const QByteArray time = "2026-12-08 09:" + QByteArray::number(10 + i % 50);
            addRow(
                source, i % 7 ? QByteArray::number(-i).constData() : nullptr,
                {time.constData(), i % 3 ? "Lp" : nullptr, "\xE9", "", "Q", "1.5", "%", "100KHz"});
        }
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy moved(&target, &TRecordTable::CurrentRowChanged);
        if (disabled)
            target.DisableControls();
        QCOMPARE(target.AppendRows(source), qsizetype(added));
        if (disabled) {
            QCOMPARE(inserted.count(), 0);
            target.EnableControls();
        }
        QCOMPARE(target.RecordCount(), qsizetype(present + added));
        QCOMPARE(model.rowCount(), present + added);
        QCOMPARE(inserted.count(), added ? 1 : 0);
        if (added) {
            QCOMPARE(inserted.at(0).at(1).toInt(), present);
            QCOMPARE(inserted.at(0).at(2).toInt(), present + added - 1);
            QCOMPARE(moved.last().at(0).value<qsizetype>(), qsizetype(present + added - 1));
            QCOMPARE(target.RecNo(), qsizetype(present + added - 1));
        }
        for (int i = 0; i < present; ++i)
            QCOMPARE(target.BytesAt(i, F::aTime), QByteArray("here"));
        for (int i = 0; i < added; ++i)
            for (int f = 0; f < TRecordTable::FieldCount; ++f)
                QCOMPARE(copied(target, present + i, f), copied(source, i, f));
        QCOMPARE(source.RecordCount(), qsizetype(added)); // the source keeps its rows
    }

    void appendRowsToItself()
    {
        TRecordTable t;
        addRow(t, "1", {"a", nullptr, "b"});
        addRow(t, "2", {"c"});
        QCOMPARE(t.AppendRows(t), qsizetype(2));
        QCOMPARE(t.RecordCount(), qsizetype(4));
        for (int f = 0; f < TRecordTable::FieldCount; ++f) {
            QCOMPARE(copied(t, 2, f), copied(t, 0, f));
            QCOMPARE(copied(t, 3, f), copied(t, 1, f));
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordBytes)
#include "tst_recordbytes.moc"
