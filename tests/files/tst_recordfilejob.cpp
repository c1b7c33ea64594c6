// Saves and opens that run beside the event loop: the same bytes and records as the direct
// calls, a table that changes meanwhile, cancelling, and jobs dropped before their end.
#include "../support/recordrows.h"
#include "../support/testfiles.h"

#include "trecordfilejob.h"
#include "trecordfiles.h"
#include "trecordmodel.h"
#include "trecordtable.h"
#include "tsavestagehook.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Rows as a recording makes them, every field filled, so both forms keep them whole.
void fill(TRecordTable &table, int n, int first = 1)
{
    for (int i = first; i < first + n; ++i) {
        table.Append();
        table.Fields(TRecordTable::aNO).SetValue(i);
        table.Fields(TRecordTable::aTime)
            .SetAsBytes("2026-12-08 09:" + QByteArray::number(10 + i / 60 % 50) + ":"
                        + QByteArray::number(10 + i % 50));
        table.Fields(TRecordTable::aMMode).SetAsBytes("Cp");
        table.Fields(TRecordTable::aMValue).SetAsBytes(QByteArray::number(100 + i % 900));
        table.Fields(TRecordTable::aMUnit).SetAsBytes("nF");
        table.Fields(TRecordTable::aSMode).SetAsBytes("D");
        table.Fields(TRecordTable::aSValue).SetAsBytes("0.012");
        table.Fields(TRecordTable::aSUnit).SetAsBytes("");
        table.Fields(TRecordTable::aFreq).SetAsBytes("1KHz");
        table.Post();
    }
}

// Large enough that formatting it takes many slices and fills the writing queue.
constexpr int ManyRows = 300'000;

bool waitFor(TRecordFileJob &job)
{
    if (job.IsFinished())
        return true;
    QSignalSpy finished(&job, &TRecordFileJob::Finished);
    return finished.wait(120'000) && job.IsFinished();
}

} // namespace

class TestRecordFileJob : public QObject
{
    Q_OBJECT

private slots:
    void saveWritesWhatTheDirectSaveWrites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rows");
        for (const char *name : {"rec.xml", "rec.txt", "rec"})
            for (int rows : {0, 1, ManyRows})
                QTest::addRow("%s, %d rows", name, rows) << QString(name) << rows;
    }
    void saveWritesWhatTheDirectSaveWrites()
    {
        QFETCH(QString, name);
        QFETCH(int, rows);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("direct")));
        TRecordTable table;
        fill(table, rows);
        const TSaveOutcome direct =
            DBToFiles(table, dir.filePath(QStringLiteral("direct/") + name));
        QVERIFY(direct.Ok);
        QVERIFY(table.MoveTo(0) || rows == 0);

        TRecordSaveJob job(table, dir.filePath(name));
        job.Start();
        QVERIFY(waitFor(job));
        const TSaveOutcome &outcome = job.Outcome();
        QVERIFY2(outcome.Ok, qPrintable(outcome.Error));
        QCOMPARE(outcome.Target.FileName, dir.filePath(direct.Target.FileName.section('/', -1)));
        QCOMPARE(fileBytes(outcome.Target.FileName), fileBytes(direct.Target.FileName));
        QCOMPARE(outcome.Message, QStringLiteral("Save table to specified file: ")
                                      + QDir::toNativeSeparators(outcome.Target.FileName)
                                      + QStringLiteral(" Scuss!"));
        QCOMPARE(job.Done(), qint64(rows));
        QCOMPARE(job.Total(), qint64(rows));
        // A text save leaves the last record current, as the direct one does.
        const bool text = outcome.Target.Form == TRecordFileForm::Text;
        QCOMPARE(table.RecNo(), qsizetype(rows == 0 ? -1 : text ? rows - 1 : 0));
    }

    // The file holds the rows present when the save began; rows recorded meanwhile follow
    // in the table only.
    void rowsAppendedMeanwhileAreNotSaved()
    {
        QTemporaryDir dir;
        TRecordTable table;
        fill(table, ManyRows);
        const QString direct = dir.filePath(QStringLiteral("direct.xml"));
        QVERIFY(DBToFiles(table, direct).Ok);
        TRecordSaveJob job(table, dir.filePath(QStringLiteral("rec.xml")));
        job.Start();
        QVERIFY(!job.IsFinished());
        fill(table, 3, ManyRows + 1);
        QVERIFY(waitFor(job));
        QVERIFY(job.Outcome().Ok);
        QCOMPARE(job.Outcome().Rows, qsizetype(ManyRows));
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("rec.xml"))), fileBytes(direct));
    }

    // Emptying the table, cancelling, or dropping the job before its end leaves the old file
    // as it was and no temporary file beside it.
    void unfinishedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("error");
        QTest::newRow("table emptied") << "empty"
                                       << "cleared";
        QTest::newRow("cancelled") << "cancel"
                                   << "";
        QTest::newRow("job deleted") << "delete"
                                     << "";
    }
    void unfinishedSaveKeepsTheOldFile()
    {
        QFETCH(QString, how);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.xls"));
        QVERIFY(writeFile(path, "old\r\n"));
        TRecordTable table;
        fill(table, ManyRows);
        auto job = std::make_unique<TRecordSaveJob>(table, path);
        job->Start();
        QVERIFY(!job->IsFinished());
        if (how == QLatin1String("empty"))
            table.Empty();
        else if (how == QLatin1String("cancel"))
            job->Cancel();
        else
            job.reset();
        if (job) {
            QVERIFY(waitFor(*job));
            const TSaveOutcome &outcome = job->Outcome();
            QVERIFY(!outcome.Ok);
            QCOMPARE(outcome.Cancelled, error.isEmpty());
            QVERIFY2(outcome.Error.contains(error), qPrintable(outcome.Error));
            QCOMPARE(outcome.Message,
                     error.isEmpty() ? QStringLiteral("Save table to specified file: ")
                                           + QDir::toNativeSeparators(path)
                                           + QStringLiteral(" cancelled; the file was not changed.")
                                     : QStringLiteral("Could not save table to specified file: ")
                                           + QDir::toNativeSeparators(path));
        }
        QCOMPARE(fileBytes(path), QByteArray("old\r\n"));
        QTRY_COMPARE(entries(dir.path()), QStringList{QStringLiteral("rec.xls")});
    }

    // A cancel held against the very moment of replacing the file: before the save decides
    // to replace it, the old file stays and the save says it was cancelled; once it has
    // decided, the new file is in place and the save says it is done.
    void cancelAtTheCommitIsToldAsItEnds_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<bool>("saved");
        QTest::newRow("before the commit") << int(TSaveStage::BeforeCommit) << false;
        QTest::newRow("at the commit") << int(TSaveStage::Committing) << true;
    }
    void cancelAtTheCommitIsToldAsItEnds()
    {
        QFETCH(int, stage);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.xls"));
        QVERIFY(writeFile(path, "old\r\n"));
        TRecordTable table;
        fill(table, 1000);
        const QString direct = dir.filePath(QStringLiteral("direct.xls"));
        QVERIFY(DBToFiles(table, direct).Ok);

        QSemaphore reached, release;
        SetSaveStageHook([&](TSaveStage at) {
            if (int(at) == stage) {
                reached.release();
                release.acquire();
            }
        });
        const auto unhook = qScopeGuard([] { SetSaveStageHook({}); });
        TRecordSaveJob job(table, path);
        job.Start();
        QVERIFY(reached.tryAcquire(1, 60'000));
        job.Cancel(); // the user's Cancel, while the save's thread is held there
        release.release();
        QVERIFY(waitFor(job));
        const TSaveOutcome &outcome = job.Outcome();
        const QString name = QDir::toNativeSeparators(path);
        QCOMPARE(outcome.Ok, saved);
        QCOMPARE(outcome.Cancelled, !saved);
        QCOMPARE(outcome.Message,
                 saved ? QStringLiteral("Save table to specified file: ") + name
                             + QStringLiteral(" Scuss!")
                       : QStringLiteral("Save table to specified file: ") + name
                             + QStringLiteral(" cancelled; the file was not changed."));
        QCOMPARE(fileBytes(path), saved ? fileBytes(direct) : QByteArray("old\r\n"));
        QTRY_COMPARE(entries(dir.path()),
                     (QStringList{QStringLiteral("direct.xls"), QStringLiteral("rec.xls")}));
    }

    // The file's records arrive after the rows present, in one block the grid is told of
    // once; rows recorded while it was read come before them.
    void openAppendsInOneBlock_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("text") << "rec.txt";
        QTest::newRow("XML") << "rec.xml";
    }
    void openAppendsInOneBlock()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        TRecordTable file;
        fill(file, 20'000, 101);
        QVERIFY(DBToFiles(file, path).Ok);

        TRecordTable table;
        fill(table, 2);
        TRecordModel model(&table);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        TRecordOpenJob job(table, path, false);
        job.Start();
        fill(table, 1, 3); // a row recorded while the file is read
        QVERIFY(waitFor(job));
        const TOpenOutcome &outcome = job.Outcome();
        QVERIFY2(outcome.Ok, qPrintable(outcome.Error));
        QCOMPARE(outcome.Appended, qsizetype(20'000));
        QCOMPARE(inserted.count(), 2); // the recorded row, then the file's block
        QCOMPARE(inserted.last().at(1).toInt(), 3);
        QCOMPARE(inserted.last().at(2).toInt(), 20'002);
        QCOMPARE(rowsOf(table, 3), rowsOf(file));
        QCOMPARE(table.RecNo(), qsizetype(20'002));
        QCOMPARE(job.Done(), QFileInfo(path).size());
        QCOMPARE(job.Total(), QFileInfo(path).size());
        QCOMPARE(job.Rows(), qint64(20'000));
    }

    void openFailureKeepsTheRowsBefore()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.txt"));
        QByteArray text = "header\r\n";
        for (int i = 1; i <= 3000; ++i)
            text += QByteArray::number(i) + "\tt\r\n";
        text += "oops\r\n4000\tt\r\n";
        QVERIFY(writeFile(path, text));
        TRecordTable table;
        TRecordOpenJob job(table, path, false);
        job.Start();
        QVERIFY(waitFor(job));
        QVERIFY(!job.Outcome().Ok);
        QVERIFY2(job.Outcome().Error.contains(QLatin1String("line 3002")),
                 qPrintable(job.Outcome().Error));
        QCOMPARE(job.Outcome().Appended, qsizetype(3000));
        QCOMPARE(table.RecordCount(), qsizetype(3000));
    }

    void unfinishedOpenAppendsNothing_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("job deleted") << false;
    }
    void unfinishedOpenAppendsNothing()
    {
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.txt"));
        {
            TRecordTable file;
            fill(file, ManyRows);
            QVERIFY(DBToFiles(file, path).Ok);
        }
        TRecordTable table;
        fill(table, 2);
        auto job = std::make_unique<TRecordOpenJob>(table, path, false);
        job->Start();
        if (cancel) {
            job->Cancel();
            QVERIFY(waitFor(*job));
            QVERIFY(job->Outcome().Cancelled);
            QVERIFY(!job->Outcome().Ok);
            QCOMPARE(job->Outcome().Appended, qsizetype(0));
        }
        job.reset();
        QCoreApplication::processEvents();
        QCOMPARE(table.RecordCount(), qsizetype(2));
    }
};

QTEST_GUILESS_MAIN(TestRecordFileJob)
#include "tst_recordfilejob.moc"
