// The recording journal: it always reads back as the table holds it, value for value, every row
// is in the file before the pass that posted it ends, a normal end keeps only the latest whole
// journal, a journal left behind is found (cut back to whole lines) unless its instance still
// runs and offers exactly what a restore appends, and a full disk is told once and caught up
// with when room returns.
#include "../support/processlimits.h"
#include "../support/recordrows.h"
#include "../support/testfiles.h"

#include "tjournalfile.h"
#include "trecordfilejob.h"
#include "trecordfiles.h"
#include "trecordjournal.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <optional>

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

// The rows a journal file gives back when it is opened.
RecordRows journaled(const QString &name)
{
    TRecordTable back;
    const TOpenOutcome outcome = AnyToCds(name, back, false);
    if (!outcome.Ok || outcome.Skipped)
        return {{"<not read: " + outcome.Error.toUtf8() + ">"}};
    return rowsOf(back);
}

QByteArray journalText(const QByteArrayList &lines)
{
    QByteArray text = JournalHeaderLine();
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
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
    void valuesComeBackExactly_data();
    void valuesComeBackExactly();
    void closedAndAbandoned();
    void journalsStartedTogetherStaySeparate();
    void repairsAbandoned_data();
    void repairsAbandoned();
    void offeredWhereNoLockCanBeMade();
    void fullDiskIsCaughtUp_data();
    void fullDiskIsCaughtUp();
    void cannotStartSaysWhy_data();
    void cannotStartSaysWhy();
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
    QCOMPARE(journaled(journal.FileName()), rowsOf(table));
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
        QCOMPARE(journaled(journal.FileName()), rowsOf(table));
        QCOMPARE(journal.BytesWritten(), QFileInfo(journal.FileName()).size());
    }
    QCOMPARE(failed.count(), 0);
}

void TestRecordJournal::valuesComeBackExactly_data()
{
    // Rows as the table holds them, and the line the journal must write for each: as it
    // stands unless a value cannot stand in a line.
    QTest::addColumn<RecordRows>("rows");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("blanks are kept")
        << RecordRows{recordRow("1", {" 2026 ", "Cp", "  1.5", "nF ", "", "\x01", "", "1KHz"})}
        << QByteArrayList{"1\t 2026 \tCp\t  1.5\tnF \t\t\x01\t\t1KHz"};
    QTest::newRow("trailing nulls are left out")
        << RecordRows{recordRow("2", {"t", "Cs"}), recordRow("3", {})}
        << QByteArrayList{"2\tt\tCs", "3"};
    QTest::newRow("an empty text is no null")
        << RecordRows{recordRow("4", {"t", "", "", "", "", "", "", ""})}
        << QByteArrayList{"4\tt\t\t\t\t\t\t\t"};
    QTest::newRow("a null before a value")
        << RecordRows{recordRow("5", {"t", Null, "OL"})}
        << QByteArrayList{"\\5\tt\t\\N\tOL\t\\N\t\\N\t\\N\t\\N\t\\N"};
    QTest::newRow("no number") << RecordRows{recordRow(Null, {"t"})}
                               << QByteArrayList{"\\\\N\tt\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N"};
    QTest::newRow("line breaks, a TAB, a zero and a backslash")
        << RecordRows{recordRow("6", {"a\tb", "c\r\nd", "\\e", QByteArray("f\0g", 3), "h\ri",
                                      "j\nk", "\\N", "\\"}),
                      recordRow("7", {"a\\b"})}
        << QByteArrayList{"\\6\ta\\tb\tc\\r\\nd\t\\\\e\tf\\0g\th\\ri\tj\\nk\t\\\\N\t\\\\",
                          "7\ta\\b"};
}

void TestRecordJournal::valuesComeBackExactly()
{
    QFETCH(RecordRows, rows);
    QFETCH(QByteArrayList, lines);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TRecordTable table;
    TRecordJournal journal(table);
    QVERIFY(journal.Start(dir.path()));
    appendRows(table, rows);
    QCOMPARE(fileBytes(journal.FileName()), journalText(lines));
    QCOMPARE(journaled(journal.FileName()), rows);
    // A restore reads it the same way, whatever the file's name.
    TRecordTable restored;
    TRecordOpenJob job(restored, journal.FileName(), false);
    job.ReadAsJournal();
    job.Start();
    QTRY_VERIFY(job.IsFinished());
    QCOMPARE(rowsOf(restored), rows);
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
        QCOMPARE(journaled(closed), rowsOf(table));
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
    const QByteArray damaged = "2\t2026-12-09\r14:38:13\tCp\r\n";
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("damagedLines");
    QTest::addColumn<QByteArray>("kept"); // empty: the journal is removed
    QTest::newRow("whole") << header + row1 + row2 << 2 << 0 << header + row1 + row2;
    QTest::newRow("a line cut off") << header + row1 + row2.left(9) << 1 << 0 << header + row1;
    QTest::newRow("cut between CR and LF")
        << header + row1 + row2.chopped(1) << 1 << 0 << header + row1;
    // Data that never reached the disk reads back as zeros.
    QTest::newRow("zeros at the end")
        << header + row1 + QByteArray(4096, '\0') << 1 << 0 << header + row1;
    QTest::newRow("zeros inside the last line")
        << header + row1 + row2.left(20) + QByteArray(30, '\0') << 1 << 0 << header + row1;
    QTest::newRow("header only") << header << 0 << 0 << QByteArray();
    QTest::newRow("header cut off") << header.left(5) << 0 << 0 << QByteArray();
    QTest::newRow("nothing") << QByteArray() << 0 << 0 << QByteArray();
    // Offered with exactly the rows a restore appends: damaged lines are neither.
    QTest::newRow("a damaged line between whole ones")
        << header + row1 + damaged + row2 << 2 << 1 << header + row1 + damaged + row2;
    const QByteArray lone = QByteArray::fromHex("0D0A31360D360D2AC70D0A00");
    QTest::newRow("damaged lines only: not offered, kept for a person")
        << lone << 0 << 1 << lone.chopped(1);
}

void TestRecordJournal::repairsAbandoned()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(int, damagedLines);
    QFETCH(QByteArray, kept);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name =
        QDir(dir.path()).filePath(QStringLiteral("journal-20261209-143812-000-1.txt"));
    QVERIFY(writeFile(name, bytes));
    const auto found = TAbandonedJournal::Find(dir.path());
    QCOMPARE(found.size(), std::size_t(rows > 0));
    QCOMPARE(QFileInfo::exists(name), !kept.isEmpty());
    if (!kept.isEmpty())
        QCOMPARE(fileBytes(name), kept);
    if (rows == 0)
        return;
    QCOMPARE(found[0]->Rows(), qsizetype(rows));
    QCOMPARE(found[0]->DamagedLines(), qsizetype(damagedLines));
    QVERIFY(found[0]->Claimed());
    TRecordTable table;
    const TOpenOutcome outcome = ReadRecordFile(name, TRecordFileForm::Journal, table);
    QVERIFY2(outcome.Ok, qPrintable(outcome.Error));
    QCOMPARE(table.RecordCount(), qsizetype(rows));
    QCOMPARE(outcome.Skipped, qsizetype(damagedLines));
}

void TestRecordJournal::offeredWhereNoLockCanBeMade()
{
    // A folder that takes no new file (read-only, or full) cannot hold a lock: a journal in it
    // is read as it stands, cut-off end and all, and left there. A full disk stands in for
    // such a folder, which root could write anyway.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name =
        QDir(dir.path()).filePath(QStringLiteral("journal-20261209-143812-000-1.txt"));
    const QByteArray bytes = JournalHeaderLine() + "1\ta\r\n2\tb\r\n3\tc";
    QVERIFY(writeFile(name, bytes));
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    const auto found = [&] {
        const FileSizeLimit full(0);
        return TAbandonedJournal::Find(dir.path());
    }();
    QCOMPARE(found.size(), std::size_t(1));
    QVERIFY(!found[0]->Claimed());
    QCOMPARE(found[0]->Rows(), qsizetype(2));
    QCOMPARE(found[0]->DamagedLines(), qsizetype(1)); // the line never finished
    QCOMPARE(fileBytes(name), bytes);
}

void TestRecordJournal::fullDiskIsCaughtUp_data()
{
    // What happens while the disk is full: "r" rows recorded one by one, "o" a block of opened
    // rows, "c" Clear; and whether room comes back before the session ends.
    // Clear frees the room, so the journal is whole again at once and the next rows fill it anew.
    QTest::addColumn<QString>("whileFull");
    QTest::addColumn<bool>("roomAgain");
    QTest::addColumn<int>("failures");
    QTest::newRow("rows recorded one by one") << "r" << true << 1;
    QTest::newRow("a block of opened rows") << "o" << true << 1;
    QTest::newRow("cleared while full, then recorded") << "rcr" << true << 2;
    QTest::newRow("still full at the end") << "r" << false << 1;
}

void TestRecordJournal::fullDiskIsCaughtUp()
{
    QFETCH(QString, whileFull);
    QFETCH(bool, roomAgain);
    QFETCH(int, failures);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString closed = TRecordJournal::ClosedFileName(dir.path());
    QVERIFY(writeFile(closed, "the last whole session\r\n"));
    TRecordTable table;
    TRecordJournal journal(table);
    QSignalSpy failed(&journal, &TRecordJournal::Failed);
    QSignalSpy resumed(&journal, &TRecordJournal::Resumed);
    QVERIFY(journal.Start(dir.path()));
    const QString name = journal.FileName();
    int next = 1;
    {
        SKIP_WITHOUT_FILE_SIZE_LIMIT();
        const FileSizeLimit limit(2000); // room for the header and some 30 rows
        for (const QChar step : whileFull) {
            if (step == u'o') {
                TRecordTable opened;
                appendRows(opened, recorded(next, 100));
                table.AppendRows(opened);
            } else if (step == u'r') {
                appendRows(table, recorded(next, 100));
            } else {
                table.Empty();
            }
            next += 100;
        }
        QCOMPARE(failed.count(), failures);
        QVERIFY(!journal.IsOn());
        QVERIFY2(failed.at(0).at(0).toString().contains(QStringLiteral("File too large")),
                 qPrintable(failed.at(0).at(0).toString()));
        // The table went on; the journal holds whole rows only, as the table held them.
        const RecordRows kept = journaled(name);
        QCOMPARE(kept, rowsOf(table).mid(0, kept.size()));
        // Tried again (once a second; here at once) while still full: not told again.
        auto *retry = journal.findChild<QTimer *>();
        QVERIFY(retry && retry->isActive());
        QCOMPARE(retry->interval(), 1000);
        retry->setInterval(10);
        QSignalSpy tried(retry, &QTimer::timeout);
        QVERIFY(tried.wait(5000));
        QTRY_VERIFY(retry->isActive()); // failed again, so tried again later
        QCOMPARE(failed.count(), failures);
        if (!roomAgain) {
            journal.Close();
            QVERIFY(!QFileInfo::exists(name));
            QCOMPARE(fileBytes(closed), QByteArray("the last whole session\r\n"));
            return;
        }
    }
    // Room again: the rows missed are written, the journal is whole and goes on.
    QTRY_COMPARE_WITH_TIMEOUT(resumed.count(), failures, 5000);
    QVERIFY(journal.IsOn());
    appendRows(table, recorded(next, 3));
    QCOMPARE(journaled(name), rowsOf(table));
    QCOMPARE(failed.count(), failures);
    journal.Close();
    QCOMPARE(journaled(closed), rowsOf(table));
}

void TestRecordJournal::cannotStartSaysWhy_data()
{
    // The folder as given, relative to a scratch folder that holds a plain file "file"; the
    // file size allowed (0: no limit); the reason the notice must give.
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a file where a folder should be")
        << "file/lumetra" << 0 << QString::fromLocal8Bit(std::strerror(ENOTDIR));
    QTest::newRow("a full disk") << "state/lumetra" << 100
                                 << QString::fromLocal8Bit(std::strerror(EFBIG));
}

void TestRecordJournal::cannotStartSaysWhy()
{
    QFETCH(QString, folder);
    QFETCH(int, sizeLimit);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(QDir(dir.path()).filePath(QStringLiteral("file")), "x"));
    const QString path = QDir(dir.path()).filePath(folder);
    TRecordTable table;
    TRecordJournal journal(table);
    QSignalSpy failed(&journal, &TRecordJournal::Failed);
    {
        std::optional<FileSizeLimit> limit;
        if (sizeLimit > 0) {
            SKIP_WITHOUT_FILE_SIZE_LIMIT();
            limit.emplace(sizeLimit);
        }
        QVERIFY(!journal.Start(path));
    }
    QCOMPARE(failed.count(), 1);
    const QString why = failed.at(0).at(0).toString();
    QVERIFY2(why.contains(QDir::toNativeSeparators(path)) && why.endsWith(reason), qPrintable(why));
    QVERIFY(!journal.IsOn());
    // Nothing is left behind in a folder that could be made.
    QCOMPARE(entries(path).size(), 0);
}

void TestRecordJournal::flushesAtMostOncePerPeriod()
{
    // A flush can take seconds on a busy disk: the waits are generous, the bounds are counts.
    // A fifth of the real period: the same rule, seen over a few periods in about a second.
    constexpr int Period = TJournalFile::SyncPeriodMs / 5;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TJournalFile file(Period);
    QVERIFY(file.Open(QDir(dir.path()).filePath(QStringLiteral("j.txt"))));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(file.Append("first\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(file.Syncs() >= 1, 10000);
    for (int i = 0; i < 500; ++i)
        QVERIFY(file.Append("row\r\n"));
    // The burst is flushed too, and not once per append.
    QTRY_VERIFY_WITH_TIMEOUT(file.Syncs() >= 2, 10000);
    QThread::msleep(Period * 5 / 2);
    const qint64 idle = file.Syncs();
    const qint64 periods = clock.elapsed() / Period;
    QVERIFY2(idle <= periods + 2,
             qPrintable(QStringLiteral("%1 flushes in %2 periods").arg(idle).arg(periods)));
    // Nothing appended: no more flushes.
    QThread::msleep(Period * 3 / 2);
    QCOMPARE(file.Syncs(), idle);
    file.Close();
    QCOMPARE(fileBytes(file.FileName()).size(), qsizetype(7 + 500 * 5));
}

QTEST_GUILESS_MAIN(TestRecordJournal)
#include "tst_recordjournal.moc"
