// The recording journal: it always reads as the table would be saved, every row is in the file
// before the pass that posted it ends, a normal end keeps only the latest closed journal, a
// journal left behind is found (cut back to whole lines) unless its instance still runs, and a
// full disk turns it off once, keeping what it held.
#include "../support/testfiles.h"
#include "../support/processlimits.h"
#include "../support/recordrows.h"

#include "tjournalfile.h"
#include "trecordfiles.h"
#include "trecordjournal.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

RecordRows recorded(int from, int count)
{
    RecordRows rows;
    for (int i = from; i < from + count; ++i)
        rows << recordRow(QByteArray::number(i),
                          {"2026-12-09 14:" + QByteArray::number(10 + i % 50) + ":07", "Cp",
                           QByteArray::number(100 + i * 0.1, 'f', 1), " nF ", "D", "0.012", "",
                           i % 7 ? "1KHz" : "100KHz"});
    return rows;
}

// The table as Save writes it in the text form: what the journal must hold at every moment.
QByteArray savedText(TRecordTable &table, const QString &dir)
{
    const QString name = QDir(dir).filePath(QStringLiteral("saved.txt"));
    const TSaveOutcome outcome = DBToFiles(table, name, TextFileTitles());
    return outcome.Ok ? fileBytes(name) : QByteArray("<not saved>");
}

QStringList journals(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("journal-*.txt")}, QDir::Files, QDir::Name);
}

} // namespace

class TestRecordJournal : public QObject
{
    Q_OBJECT

private slots:
    void mirrorsTheTable_data();
    void mirrorsTheTable();
    void closedAndAbandoned();
    void journalsStartedTogetherStaySeparate();
    void repairsAbandoned_data();
    void repairsAbandoned();
    void fullDiskTurnsItOff_data();
    void fullDiskTurnsItOff();
    void flushesAtMostOncePerPeriod();
};

void TestRecordJournal::mirrorsTheTable_data()
{
    // Steps, one per pass: "r N" records N rows one at a time, "o N" appends N rows in one block
    // as Open does, "c" empties the table as Clear does.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("rowsBeforeStart");
    QTest::newRow("recording") << QStringList{"r 1", "r 5"} << 0;
    QTest::newRow("rows before the journal started") << QStringList{"r 2"} << 3;
    QTest::newRow("clear, then record again") << QStringList{"r 4", "c", "r 2"} << 0;
    QTest::newRow("clear an empty table") << QStringList{"c", "c", "r 1"} << 0;
    QTest::newRow("open between recordings") << QStringList{"r 2", "o 50", "r 1"} << 0;
    // More than one write piece of the journal's own.
    QTest::newRow("a large open") << QStringList{"o 30000", "r 1", "c", "o 3"} << 0;
    QTest::newRow("an open too large for one pass") << QStringList{"r 1", "o 120000", "r 2"} << 0;
}

void TestRecordJournal::mirrorsTheTable()
{
    QFETCH(QStringList, steps);
    QFETCH(int, rowsBeforeStart);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TRecordTable table;
    appendRows(table, recorded(1, rowsBeforeStart));
    TRecordJournal journal(table);
    QSignalSpy failed(&journal, &TRecordJournal::Failed);
    QVERIFY2(journal.Start(dir.path()), qPrintable(journal.Error()));
    QCOMPARE(fileBytes(journal.FileName()), savedText(table, dir.path()));
    int next = rowsBeforeStart + 1;
    for (const QString &step : steps) {
        const int n = step.mid(2).toInt();
        if (step.startsWith(u'r')) {
            for (int i = 0; i < n; ++i) {
                appendRows(table, recorded(next++, 1));
                // No event loop has run: the row is in the file already.
                QCOMPARE(journal.RowsWritten(), table.RecordCount());
            }
        } else if (step.startsWith(u'o')) {
            TRecordTable opened;
            appendRows(opened, recorded(next, n));
            next += n;
            table.AppendRows(opened);
            if (n > 50000) {
                // Written a slice per pass, so the window does not stop for it.
                QVERIFY(journal.RowsWritten() < table.RecordCount());
                // A row recorded meanwhile follows the block, in table order.
                appendRows(table, recorded(next++, 1));
                QTRY_COMPARE(journal.RowsWritten(), table.RecordCount());
            }
        } else {
            table.Empty();
        }
        QCOMPARE(fileBytes(journal.FileName()), savedText(table, dir.path()));
        QCOMPARE(journal.BytesWritten(), QFileInfo(journal.FileName()).size());
    }
    QCOMPARE(failed.count(), 0);
    // And it reads back as an opened file would.
    TRecordTable back;
    const TOpenOutcome outcome = AnyToCds(journal.FileName(), back, false);
    QVERIFY2(outcome.Ok, qPrintable(outcome.Error));
    QCOMPARE(back.RecordCount(), table.RecordCount());
}

void TestRecordJournal::closedAndAbandoned()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString closed = TRecordJournal::ClosedFileName(dir.path());

    // Two sessions end normally: only the latest stays, under the closed name.
    for (int session = 1; session <= 2; ++session) {
        TRecordTable table;
        TRecordJournal journal(table);
        QVERIFY(journal.Start(dir.path()));
        appendRows(table, recorded(1, session * 3));
        journal.Close();
        QVERIFY(!QFileInfo::exists(journal.FileName()));
        QCOMPARE(fileBytes(closed), savedText(table, dir.path()));
    }
    // A session that closes without rows keeps the last one that had some.
    {
        TRecordTable table;
        TRecordJournal journal(table);
        QVERIFY(journal.Start(dir.path()));
        appendRows(table, recorded(1, 2));
        table.Empty();
        journal.Close();
        QVERIFY(!QFileInfo::exists(journal.FileName()));
    }
    QCOMPARE(fileBytes(closed).count("\r\n"), 7);
    QVERIFY(journals(dir.path()).isEmpty());
    QVERIFY(TAbandonedJournal::Find(dir.path()).empty());

    // One that ends without closing (its object goes as a killed process's would) is found
    // with its rows; one whose instance still runs is not; one without rows is removed.
    QString leftName;
    {
        TRecordTable table;
        TRecordJournal left(table);
        QVERIFY(left.Start(dir.path()));
        appendRows(table, recorded(1, 7));
        leftName = left.FileName();
    }
    {
        TRecordTable table;
        TRecordJournal empty(table);
        QVERIFY(empty.Start(dir.path()));
    }
    TRecordTable runningTable;
    TRecordJournal running(runningTable);
    QVERIFY(running.Start(dir.path()));
    appendRows(runningTable, recorded(1, 2));
    QCOMPARE(journals(dir.path()).size(), 3);

    {
        const auto found = TAbandonedJournal::Find(dir.path());
        QCOMPARE(found.size(), std::size_t(1));
        QCOMPARE(found[0]->FileName(), leftName);
        QCOMPARE(found[0]->Rows(), qsizetype(7));
        // While it is being offered here, nobody else is offered it.
        QVERIFY(TAbandonedJournal::Find(dir.path()).empty());
    }
    QCOMPARE(journals(dir.path()).size(), 2);     // the empty one is gone
    QCOMPARE(fileBytes(closed).count("\r\n"), 7); // untouched: the second session's 6 rows
    {
        const auto again = TAbandonedJournal::Find(dir.path());
        QCOMPARE(again.size(), std::size_t(1)); // not discarded, so offered again
        again[0]->Discard();
    }
    QCOMPARE(journals(dir.path()), QStringList{QFileInfo(running.FileName()).fileName()});
}

void TestRecordJournal::journalsStartedTogetherStaySeparate()
{
    // Started in the same millisecond by one process (names would match), each keeps its own.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int i = 1; i <= 20; ++i) {
        TRecordTable table;
        TRecordJournal journal(table);
        QVERIFY(journal.Start(dir.path()));
        appendRows(table, recorded(i, 1));
    }
    const auto found = TAbandonedJournal::Find(dir.path());
    QCOMPARE(found.size(), std::size_t(20));
    for (const auto &journal : found)
        QCOMPARE(journal->Rows(), qsizetype(1));
}

void TestRecordJournal::repairsAbandoned_data()
{
    const QByteArray header = TextHeaderLine(TextFileTitles());
    const QByteArray row1 = "1\t2026-12-09 14:38:12\tCp\t123.4\tnF\tD\t0.012\t\t1KHz\r\n";
    const QByteArray row2 = "2\t2026-12-09 14:38:13\tCp\t123.5\tnF\tD\t0.012\t\t1KHz\r\n";
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QByteArray>("kept");
    QTest::newRow("whole") << header + row1 + row2 << 2 << header + row1 + row2;
    QTest::newRow("a line cut off") << header + row1 + row2.left(9) << 1 << header + row1;
    QTest::newRow("cut between CR and LF") << header + row1 + row2.chopped(1) << 1 << header + row1;
    // Data that never reached the disk reads back as zeros.
    QTest::newRow("zeros at the end")
        << header + row1 + QByteArray(4096, '\0') << 1 << header + row1;
    QTest::newRow("zeros inside the last line")
        << header + row1 + row2.left(20) + QByteArray(30, '\0') << 1 << header + row1;
    QTest::newRow("header only") << header << 0 << QByteArray();
    QTest::newRow("header cut off") << header.left(5) << 0 << QByteArray();
    QTest::newRow("nothing") << QByteArray() << 0 << QByteArray();
}

void TestRecordJournal::repairsAbandoned()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(QByteArray, kept);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name =
        QDir(dir.path()).filePath(QStringLiteral("journal-20261209-143812-000-1.txt"));
    QVERIFY(writeFile(name, bytes));
    const auto found = TAbandonedJournal::Find(dir.path());
    QCOMPARE(found.size(), std::size_t(rows > 0));
    if (rows == 0) {
        QVERIFY(!QFileInfo::exists(name));
        return;
    }
    QCOMPARE(found[0]->Rows(), qsizetype(rows));
    QCOMPARE(fileBytes(name), kept);
    TRecordTable table;
    const TOpenOutcome outcome = AnyToCds(name, table, false);
    QVERIFY2(outcome.Ok, qPrintable(outcome.Error));
    QCOMPARE(table.RecordCount(), qsizetype(rows));
}

void TestRecordJournal::fullDiskTurnsItOff_data()
{
    QTest::addColumn<bool>("block");
    QTest::newRow("rows recorded one by one") << false;
    QTest::newRow("a block of opened rows") << true;
}

void TestRecordJournal::fullDiskTurnsItOff()
{
    QFETCH(bool, block);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TRecordTable table;
    TRecordJournal journal(table);
    QSignalSpy failed(&journal, &TRecordJournal::Failed);
    QVERIFY(journal.Start(dir.path()));
    const QString name = journal.FileName();
    {
        const FileSizeLimit limit(2000); // room for the header and some 30 rows
        if (block) {
            TRecordTable opened;
            appendRows(opened, recorded(1, 100));
            table.AppendRows(opened);
        } else {
            appendRows(table, recorded(1, 100));
        }
    }
    QCOMPARE(failed.count(), 1);
    QVERIFY(!journal.IsOn());
    QVERIFY2(failed.at(0).at(0).toString().contains(QStringLiteral("File too large")),
             qPrintable(failed.at(0).at(0).toString()));
    // The table went on; the journal keeps whole lines only, each a row of the table.
    QCOMPARE(table.RecordCount(), qsizetype(100));
    const QByteArray bytes = fileBytes(name);
    QVERIFY(bytes.endsWith("\r\n"));
    QVERIFY(savedText(table, dir.path()).startsWith(bytes));
    // Rows one by one fill the room; a block is written whole or not at all.
    if (block)
        QCOMPARE(bytes, TextHeaderLine(TextFileTitles()));
    else
        QVERIFY(bytes.count("\r\n") > 20);
    appendRows(table, recorded(101, 5));
    table.Empty();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(fileBytes(name), bytes);
}

void TestRecordJournal::flushesAtMostOncePerPeriod()
{
    // A flush can take seconds on a busy disk: the waits are generous, the bounds are counts.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TJournalFile file;
    QVERIFY(file.Open(QDir(dir.path()).filePath(QStringLiteral("j.txt"))));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(file.Append("first\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(file.Syncs() >= 1, 10000);
    for (int i = 0; i < 500; ++i)
        QVERIFY(file.Append("row\r\n"));
    // The burst is flushed too, and not once per append.
    QTRY_VERIFY_WITH_TIMEOUT(file.Syncs() >= 2, 10000);
    QThread::msleep(TJournalFile::SyncPeriodMs * 5 / 2);
    const qint64 idle = file.Syncs();
    const qint64 periods = clock.elapsed() / TJournalFile::SyncPeriodMs;
    QVERIFY2(idle <= periods + 2,
             qPrintable(QStringLiteral("%1 flushes in %2 periods").arg(idle).arg(periods)));
    // Nothing appended: no more flushes.
    QThread::msleep(TJournalFile::SyncPeriodMs * 3 / 2);
    QCOMPARE(file.Syncs(), idle);
    file.Close();
    QCOMPARE(fileBytes(file.FileName()).size(), qsizetype(7 + 500 * 5));
}

QTEST_GUILESS_MAIN(TestRecordJournal)
#include "tst_recordjournal.moc"
