// The tab-separated text form: the bytes a save writes, written out here by hand, and what an
// open makes of every kind of line, fed whole and in pieces of every small size.
#include "../support/recordrows.h"
#include "../support/testfiles.h"

#include "trecordfiles.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <malloc.h>
#endif

namespace {

template<std::size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1); // zero bytes included
}

const QByteArray Header = "NO\tTime\tMMode\tMValue\tMUnit\tSMode\tSValue\tSUnit\tFreq\r\n";

struct Read
{
    bool ok = false;
    RecordRows rows;
    QString error;
};

// Reads bytes into a fresh table, feeding them in pieces of the given size (0: whole).
Read readText(const QByteArray &bytes, int piece)
{
    TRecordTable table;
    TTextRecordReader reader(table);
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(bytes.size(), 1);
    for (qsizetype at = 0; at < bytes.size(); at += step)
        if (!reader.Feed(QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at))))
            break;
    Read r;
    r.ok = reader.Finish();
    r.error = reader.Error();
    r.rows = rowsOf(table);
    if (reader.RowsAppended() != table.RecordCount())
        r.error += QStringLiteral(" <row count differs>");
    return r;
}

// Reads bytes as a journal (or as a file whose header may say it is one), fed in pieces; the
// same bytes are also only counted, which must give the same numbers.
Read readJournal(const QByteArray &bytes, int piece, TTextRecordReader::Form form,
                 qsizetype *skipped)
{
    TRecordTable table;
    TTextRecordReader reader(&table, form);
    TTextRecordReader counter(nullptr, form);
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(bytes.size(), 1);
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        const QByteArrayView slice =
            QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at));
        const bool more = reader.Feed(slice);
        counter.Feed(slice);
        if (!more)
            break;
    }
    Read r;
    r.ok = reader.Finish();
    counter.Finish();
    r.error = reader.Error();
    r.rows = rowsOf(table);
    *skipped = reader.LinesSkipped();
    if (counter.RowsAppended() != table.RecordCount() || counter.LinesSkipped() != *skipped)
        r.error += QStringLiteral(" <the count differs from the rows read>");
    return r;
}

} // namespace

Q_DECLARE_METATYPE(RecordRows)

class TestTextRecords : public QObject
{
    Q_OBJECT

private slots:
    void header()
    {
        QCOMPARE(TextHeaderLine(TextFileTitles()), Header);
        QCOMPARE(TextHeaderLine({QStringLiteral("One")}), QByteArray("One\r\n"));
        QCOMPARE(TextHeaderLine({QStringLiteral("Grad \u00B0"), QStringLiteral("")}),
                 QByteArray("Grad \xC2\xB0\t\r\n"));
    }

    // The file a save writes, byte for byte, for tables built to show each rule.
    void savedBytes_data()
    {
        QTest::addColumn<RecordRows>("rows");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty table: the header alone") << RecordRows{} << Header;
        QTest::newRow("one recorded row")
            << RecordRows{recordRow(
                   "1", {"2026-12-08 09:05:07", "Cp", "123.4", "nF", "D", "0.012", "", "1KHz"})}
            << Header + "1\t2026-12-08 09:05:07\tCp\t123.4\tnF\tD\t0.012\t\t1KHz\r\n";
        QTest::newRow("two rows, negative number")
            << RecordRows{recordRow("-7", {"a"}), recordRow("2147483647", {"b"})}
            << Header + "-7\ta\t\t\t\t\t\t\t\r\n2147483647\tb\t\t\t\t\t\t\t\r\n";
        QTest::newRow("null number and null texts")
            << RecordRows{recordRow(Null, {Null, "x"})} << Header + "\t\tx\t\t\t\t\t\t\r\n";
        QTest::newRow("codes 0 to 32 trimmed at both ends, not inside")
            << RecordRows{recordRow("3", {" \x01 x  y \x1F", "\t\tz\r\n", "\x80\xFF", "\xA0q\xA0",
                                          "a\tb", "  ", "\x21", "!\x7F"})}
            << Header + "3\tx  y\tz\t\x80\xFF\t\xA0q\xA0\ta\tb\t\t!\t!\x7F\r\n";
    }
    void savedBytes()
    {
        QFETCH(RecordRows, rows);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        TRecordTable table;
        appendRows(table, rows);
        const QString path = dir.filePath(QStringLiteral("rec.txt"));
        const TSaveOutcome outcome = DBToFiles(table, path);
        QVERIFY2(outcome.Ok, qPrintable(outcome.Error));
        QCOMPARE(fileBytes(path), bytes);
        QCOMPARE(outcome.Rows, qsizetype(rows.size()));
    }

    void splitText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("separator");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::newRow("empty text: one empty piece")
            << QByteArray("") << QByteArray("\t") << QByteArrayList{""};
        QTest::newRow("no separator")
            << QByteArray("abc") << QByteArray("\t") << QByteArrayList{"abc"};
        QTest::newRow("one separator")
            << QByteArray("a\tb") << QByteArray("\t") << QByteArrayList{"a", "b"};
        QTest::newRow("separator alone")
            << QByteArray("\t") << QByteArray("\t") << QByteArrayList{"", ""};
        QTest::newRow("trailing separators")
            << QByteArray("a\t\t") << QByteArray("\t") << QByteArrayList{"a", "", ""};
        QTest::newRow("longer separator")
            << QByteArray("xabyab") << QByteArray("ab") << QByteArrayList{"x", "y", ""};
        QTest::newRow("overlapping separator")
            << QByteArray("aaa") << QByteArray("aa") << QByteArrayList{"", "a"};
        QTest::newRow("empty separator")
            << QByteArray("a\tb") << QByteArray() << QByteArrayList{"a\tb"};
    }
    void splitText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, separator);
        QFETCH(QByteArrayList, pieces);
        std::vector<QByteArrayView> list{QByteArrayView("stale")};
        SplitText(text, separator, list);
        QByteArrayList got;
        for (QByteArrayView v : list)
            got << v.toByteArray();
        QCOMPARE(got, pieces);
    }

    // Every way a line can end or fail, and the rows an open keeps. error: a word the reason
    // holds, empty when the reading succeeds.
    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<RecordRows>("rows");
        QTest::addColumn<QString>("error");
        const QByteArray h = "any header\tat all\r\n";
        const RecordRows one{recordRow("1", {"a"})};
        const RecordRows two{recordRow("1", {"a"}), recordRow("2", {"b"})};
        QTest::newRow("header alone") << Header << RecordRows{} << "";
        QTest::newRow("header without a line break") << QByteArray("NO") << RecordRows{} << "";
        QTest::newRow("empty line as header") << QByteArray("\r\n1\ta") << one << "";
        QTest::newRow("CR LF") << h + "1\ta\r\n2\tb\r\n" << two << "";
        QTest::newRow("lone CR") << h + "1\ta\r2\tb\r" << two << "";
        QTest::newRow("lone LF") << h + "1\ta\n2\tb\n" << two << "";
        QTest::newRow("mixed breaks") << QByteArray("h\n1\ta\r\n2\tb\r") << two << "";
        QTest::newRow("last line without a break") << h + "1\ta\r\n2\tb" << two << "";
        QTest::newRow("LF CR is two breaks: an empty line") << h + "1\ta\n\r2\tb\r\n"
                                                            << one << "line 3";
        QTest::newRow("LF LF is two breaks") << h + "1\ta\n\n2\tb" << one << "line 3";
        QTest::newRow("CR CR is two breaks") << h + "1\ta\r\r2\tb" << one << "line 3";
        QTest::newRow("empty line inside") << h + "1\ta\r\n\r\n2\tb\r\n" << one << "line 3";
        QTest::newRow("empty line at the end") << h + "1\ta\r\n\r\n" << one << "line 3";
        QTest::newRow("zero byte ends the text") << h + bytes("1\ta\r\n\0002\tb\r\n") << one << "";
        QTest::newRow("zero byte inside a line")
            << h + bytes("1\ta\r\n2\tb\000c\r\n3\tc") << two << "";
        QTest::newRow("zero byte after a CR") << h + bytes("1\ta\r\0002\tb") << one << "";
        QTest::newRow("empty file") << QByteArray() << RecordRows{} << "no line";
        QTest::newRow("zero byte first") << bytes("\000NO\r\n1\ta") << RecordRows{} << "no line";
        QTest::newRow("fewer pieces leave nulls")
            << h + "5\r\n6\tx\ty\r\n"
            << RecordRows{recordRow("5", {}), recordRow("6", {"x", "y"})} << "";
        QTest::newRow("nine pieces, a trailing TAB gives an empty last one")
            << h + "7\t1\t2\t3\t4\t5\t6\t7\t\r\n"
            << RecordRows{recordRow("7", {"1", "2", "3", "4", "5", "6", "7", ""})} << "";
        QTest::newRow("ten pieces") << h + "1\ta\r\n8\t1\t2\t3\t4\t5\t6\t7\t8\t9\r\n"
                                    << one << "line 3 has more fields than the table's 9";
        QTest::newRow("first piece not a number") << h + "1\ta\r\nx\tb\r\n"
                                                  << one << "not a whole number";
        QTest::newRow("first piece empty") << h + "1\ta\r\n\tb\r\n" << one << "not a whole number";
        QTest::newRow("first piece too large") << h + "2147483648\tb\r\n"
                                               << RecordRows{} << "line 2";
        QTest::newRow("numbers with sign and blanks")
            << h + "-12\ta\r\n +3 \tb\r\n"
            << RecordRows{recordRow("-12", {"a"}), recordRow("3", {"b"})} << "";
        QTest::newRow("repeated numbers are kept")
            << h + "1\ta\r\n1\ta\r\n"
            << RecordRows{recordRow("1", {"a"}), recordRow("1", {"a"})} << "";
        QTest::newRow("values are not trimmed on reading, but cut at 20 characters")
            << h + "1\t  x  \t123456789012345678901234\r\n"
            << RecordRows{recordRow("1", {"  x  ", "12345678901234567890"})} << "";
        QTest::newRow("bytes of another code page pass through")
            << h
                   + "1\tr\xE9sistance\t\xB5"
                     "F\r\n"
            << RecordRows{recordRow("1", {"r\xE9sistance", "\xB5"
                                                           "F"})}
            << "";
        QTest::newRow("the header line is never read, however long")
            << QByteArray("a\tb\tc\td\te\tf\tg\th\ti\tj\tk\r\n1\ta") << one << "";
        QTest::newRow("a long value is cut at 20 characters, however it arrives")
            << h + "1\t" + QByteArray(300, 'x') + "\tb\r\n"
            << RecordRows{recordRow("1", {QByteArray(20, 'x'), "b"})} << "";
        QTest::newRow("a long value of many-byte characters")
            << h + "1\t" + QByteArray("\xCE\xB8").repeated(100) + "\r\n"
            << RecordRows{recordRow("1", {QByteArray("\xCE\xB8").repeated(20)})} << "";
        QTest::newRow("a line of a thousand TABs")
            << h + "1\ta\r\n2" + QByteArray(1000, '\t') + "x\r\n"
            << one << "more fields";
        QTest::newRow("a record number padded past 64 characters")
            << h + "1\ta\r\n" + QByteArray(64, '0') + "2\tb\r\n"
            << one << "not a whole number";
        QTest::newRow("a record number of 64 characters")
            << h + QByteArray(63, ' ') + "2\tb\r\n"
            << RecordRows{recordRow("2", {"b"})} << "";
    }
    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(RecordRows, rows);
        QFETCH(QString, error);
        for (int piece : {0, 1, 2, 3, 5, 7, 64}) {
            const Read r = readText(bytes, piece);
            const QByteArray where = "pieces of " + QByteArray::number(piece);
            QVERIFY2(r.ok == error.isEmpty(), where + ": " + r.error.toUtf8());
            QVERIFY2(r.error.contains(error), where + ": " + r.error.toUtf8());
            QVERIFY2(r.rows == rows, where);
        }
    }

    // A journal: lines end at CR LF only, escaped rows are undone, and a line that is no whole
    // row is skipped and counted, never the end of the reading. "file" rows are read as Open
    // reads any text file, which must know a journal by its header.
    void readingJournal_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("asFile");
        QTest::addColumn<RecordRows>("rows");
        QTest::addColumn<int>("skipped");
        const QByteArray h = JournalHeaderLine();
        const RecordRows two{recordRow("1", {"a"}), recordRow("2", {"b"})};
        QTest::newRow("whole rows") << h + "1\ta\r\n2\tb\r\n" << false << two << 0;
        QTest::newRow("opened as a file") << h + "1\ta\r\n2\tb\r\n" << true << two << 0;
        QTest::newRow("an escaped row, opened as a file")
            << h + "\\1\ta\\tb\t\\N\tc\\r\\n\t\\\\\t\t\t\t\r\n"
            << true << RecordRows{recordRow("1", {"a\tb", Null, "c\r\n", "\\", "", "", "", ""})}
            << 0;
        QTest::newRow("any header, when told it is a journal") << Header + "1\ta\r\n2\tb\r\n"
                                                               << false << two << 0;
        QTest::newRow("a lone CR or LF inside a line")
            << h + "1\ta\r\n3\tx\ry\r\n4\tx\ny\r\n2\tb\r\n"
            << false << two << 2;
        QTest::newRow("lone CRs where a file would see lines")
            << bytes("\r\n16\r6\r*\xC7\r\n\000") << false << RecordRows{} << 1;
        QTest::newRow("the last line without CR LF")
            << h + "1\ta\r\n2\tb\r\n3\tc" << false << two << 1;
        QTest::newRow("cut between CR and LF") << h + "1\ta\r\n2\tb\r\n3\tc\r" << false << two << 1;
        QTest::newRow("a zero byte ends the text inside a line")
            << h + bytes("1\ta\r\n2\tb\r\n3\t\000c\r\n4\td\r\n") << false << two << 1;
        QTest::newRow("damaged lines between whole ones")
            << h
                   + "1\ta\r\n\r\nx\ty\r\n5\t1\t2\t3\t4\t5\t6\t7\t8\t9\r\n"
                     "\\6\ta\\q\t\t\t\t\t\t\t\r\n\\7\ta\r\n2147483648\tz\r\n2\tb\r\n"
            << false << two << 6;
    }
    void readingJournal()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, asFile);
        QFETCH(RecordRows, rows);
        QFETCH(int, skipped);
        for (int piece : {0, 1, 2, 3, 5, 64}) {
            qsizetype left = -1;
            const Read r = readJournal(
                bytes, piece,
                asFile ? TTextRecordReader::Form::File : TTextRecordReader::Form::Journal, &left);
            const QByteArray where = "pieces of " + QByteArray::number(piece);
            QVERIFY2(r.ok && r.error.isEmpty(), where + ": " + r.error.toUtf8());
            QVERIFY2(r.rows == rows, where);
            QVERIFY2(left == skipped, where + ": skipped " + QByteArray::number(left));
        }
    }

    // A line costs the memory of the row it makes, not its own length: a huge header, a huge
    // value and a line of nothing but TABs, fed as a file is read, in pieces of a megabyte; and
    // a huge line in a journal.
    void longLinesCostTheRowOnly_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<char>("fill");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<RecordRows>("rows");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("skipped"); // -1: read as a file, else as a journal
        const RecordRows one{recordRow("1", {"a"})};
        QTest::newRow("header") << QByteArray("NO") << 'h' << QByteArray("\r\n1\ta\r\n") << one
                                << "" << -1;
        QTest::newRow("value") << Header + "1\t" << 'v' << QByteArray("\tb\r\n")
                               << RecordRows{recordRow("1", {QByteArray(20, 'v'), "b"})} << ""
                               << -1;
        QTest::newRow("TABs") << Header + "1\ta\r\n2" << '\t' << QByteArray("\r\n") << one
                              << "more fields" << -1;
        // A journal keeps a line's bytes, not its pieces: one longer than any row is damage.
        QTest::newRow("journal value")
            << JournalHeaderLine() + "2\t" << 'v' << QByteArray("\r\n1\ta\r\n") << one << "" << 1;
        QTest::newRow("journal CRs")
            << JournalHeaderLine() + "2\t" << '\r' << QByteArray("\n1\ta\r\n") << one << "" << 1;
    }
    void longLinesCostTheRowOnly()
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("the sanitizers' allocators keep no count of the heap");
#elif defined(Q_OS_WIN)
        QSKIP("the heap is counted with glibc's mallinfo2");
#else
        QFETCH(QByteArray, before);
        QFETCH(char, fill);
        QFETCH(QByteArray, after);
        QFETCH(RecordRows, rows);
        QFETCH(QString, error);
        QFETCH(int, skipped);
        constexpr qsizetype Piece = 1 << 20;
        constexpr int Pieces = 100; // a line of 100 MB
        const QByteArray piece(Piece, fill);
        TRecordTable table;
        TTextRecordReader reader(&table, skipped < 0 ? TTextRecordReader::Form::File
                                                     : TTextRecordReader::Form::Journal);
        // Large blocks are mapped on their own and counted apart from the heap's.
        const auto inUse = [] {
            const struct mallinfo2 m = mallinfo2();
            return m.uordblks + m.hblkhd;
        };
        const std::size_t heap = inUse();
        std::size_t most = heap;
        bool going = reader.Feed(before);
        for (int i = 0; i < Pieces && going; ++i) {
            going = reader.Feed(piece);
            most = std::max(most, inUse());
        }
        if (going)
            reader.Feed(after);
        QCOMPARE(reader.Finish(), error.isEmpty());
        QVERIFY2(reader.Error().contains(error), qPrintable(reader.Error()));
        QCOMPARE(rowsOf(table), rows);
        QCOMPARE(reader.LinesSkipped(), std::max(skipped, 0));
        // Far below the megabyte of a single piece, let alone the line's hundred.
        QVERIFY2(most - heap < std::size_t(Piece / 4),
                 qPrintable(QString::number(qint64(most - heap))));
#endif
    }

    // Feeding after the reading stopped changes nothing, and Finish may be called twice.
    void stoppedReaderTakesNoMore()
    {
        TRecordTable table;
        TTextRecordReader reader(table);
        QVERIFY(!reader.Feed(QByteArray("h\r\nx\r\n")));
        QVERIFY(!reader.Feed(QByteArray("1\ta\r\n")));
        QVERIFY(!reader.Finish());
        QVERIFY(!reader.Finish());
        QCOMPARE(table.RecordCount(), qsizetype(0));
        QVERIFY(!table.IsAppending()); // the failed line's row is dropped
    }
};

QTEST_GUILESS_MAIN(TestTextRecords)
#include "tst_textrecords.moc"
