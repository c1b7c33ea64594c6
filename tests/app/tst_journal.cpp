// The window's recording journal: it mirrors the record table through recording, Clear and
// Open; a normal quit closes it; the records of a session that did not end normally are offered
// at the next start; a full disk or an unwritable folder gives one notice and recording goes
// on; and a real process killed mid-recording loses no row it had posted.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/processlimits.h"
#include "../support/recordrows.h"
#include "../support/statehome.h"
#include "../support/testfiles.h"
#include "../support/windowfeed.h"

#include "tfrmmain.h"
#include "trecordfiles.h"
#include "trecordjournal.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <memory>

using namespace ModalHelper;

namespace {

// The rows a journal gives back when it is opened.
RecordRows journaled(const QString &name)
{
    TRecordTable back;
    const TOpenOutcome outcome = AnyToCds(name, back, false);
    return outcome.Ok && outcome.Skipped == 0 ? rowsOf(back) : RecordRows{{"<not read>"}};
}

void feed(TfrmMain &w, int frames)
{
    for (int i = 0; i < frames; ++i) {
        TFrameFields f = workedFields();
        f.MainValue = 1200 + i % 100;
        receive(w, EncodeFrame(f));
    }
}

// Answers every dialog shown while it lives with the button given, and keeps their texts.
class DialogAnswerer
{
public:
    explicit DialogAnswerer(const QString &button)
    {
        Timer_.setInterval(20);
        QObject::connect(&Timer_, &QTimer::timeout, [this, button] {
            QWidget *modal = QApplication::activeModalWidget();
            // The progress of a restore is no question.
            if (!modal || !modal->isVisible() || qobject_cast<QProgressDialog *>(modal))
                return;
            const auto *label = modal->findChild<QLabel *>(QStringLiteral("Message"));
            Texts << (label ? label->text() : modal->windowTitle());
            if (auto *b = modal->findChild<QPushButton *>(button))
                b->click();
            else
                modal->close();
        });
        Timer_.start();
    }
    QStringList Texts;

private:
    QTimer Timer_;
};

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void followsTheTable_data();
    void followsTheTable();
    void quitClosesIt();
    void restoreOffered_data();
    void restoreOffered();
    void offJournal_data();
    void offJournal();
    void damagedJournalRestoredOnce_data();
    void damagedJournalRestoredOnce();
    void noJournalKeepsNothing();
    void killedProcessLosesNoRow();

private:
    TfrmMain *start(const TStartOptions &options = {});
    QString journalFolder() const { return State_->filePath(QLatin1String(StateFolderName)); }
    QStringList journals() const
    {
        return QDir(journalFolder())
            .entryList({QStringLiteral("journal-*.txt")}, QDir::Files, QDir::Name);
    }

    std::unique_ptr<QTemporaryDir> State_;
    TfrmMain *w = nullptr;
};

void TestJournal::init()
{
    // A state folder of each test's own: a journal one test leaves is not offered to the next.
    State_ = std::make_unique<QTemporaryDir>();
    QVERIFY(State_->isValid());
    qputenv(StateHomeVariable, State_->path().toLocal8Bit());
}

void TestJournal::cleanup()
{
    delete w;
    w = nullptr;
    State_.reset();
}

TfrmMain *TestJournal::start(const TStartOptions &options)
{
    delete w;
    w = new TfrmMain(options);
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("the window was not exposed");
    return w;
}

void TestJournal::followsTheTable_data()
{
    // Steps: "f N" feeds N frames, "clear yes" / "clear no" answer the Clear question, "open"
    // opens a saved file of 4 records through the Open button.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("rows"); // the table's rows after each step
    QTest::newRow("recording") << QStringList{"f 1", "f 5"} << QList<int>{1, 6};
    QTest::newRow("clear answered yes")
        << QStringList{"f 3", "clear yes", "f 2"} << QList<int>{3, 0, 2};
    QTest::newRow("clear answered no") << QStringList{"f 3", "clear no"} << QList<int>{3, 3};
    QTest::newRow("open appends") << QStringList{"f 2", "open", "f 1"} << QList<int>{2, 6, 7};
}

void TestJournal::followsTheTable()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, rows);
    start();
    auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    auto *journal = w->findChild<TRecordJournal *>(QStringLiteral("Journal"));
    QVERIFY(table && journal && journal->IsOn());
    QVERIFY(journal->FileName().startsWith(journalFolder()));

    TRecordTable four;
    for (int i = 1; i <= 4; ++i) {
        four.Append();
        four.Fields(TRecordTable::aNO).SetAsString(QString::number(100 + i));
        four.Fields(TRecordTable::aMValue).SetAsString(QStringLiteral("4.7"));
        four.Post();
    }
    const QString openName = State_->filePath(QStringLiteral("four.txt"));
    QVERIFY(DBToFiles(four, openName).Ok);

    for (int i = 0; i < steps.size(); ++i) {
        const QString &step = steps[i];
        if (step.startsWith(u'f')) {
            feed(*w, step.mid(2).toInt());
        } else if (step.startsWith(QStringLiteral("clear"))) {
            pressOnNextModal(step.endsWith(QStringLiteral("yes")) ? QStringLiteral("Yes")
                                                                  : QStringLiteral("No"));
            QTest::mouseClick(w->Panel4->btnRecordNew, Qt::LeftButton);
        } else {
            onNextModal([&](QWidget *modal) {
                auto *dialog = qobject_cast<QFileDialog *>(modal);
                QVERIFY(dialog);
                auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                edit->setText(openName);
                QTest::keyClick(edit, Qt::Key_Return);
            });
            QTest::mouseClick(w->Panel4->btnRecordOpen, Qt::LeftButton);
        }
        QCOMPARE(table->RecordCount(), qsizetype(rows[i]));
        // Right after the step, no event loop run: the journal reads back as the table.
        QCOMPARE(journaled(journal->FileName()), rowsOf(*table));
    }
}

void TestJournal::quitClosesIt()
{
    start();
    feed(*w, 3);
    pressOnNextModal(QStringLiteral("Yes"));
    QVERIFY(w->close());
    const QString closed = TRecordJournal::ClosedFileName(journalFolder());
    QCOMPARE(fileBytes(closed).count("\r\n"), 4); // the header and three rows
    QVERIFY(journals().isEmpty());

    // The next start asks nothing and begins a journal of its own; the closed one stays.
    DialogAnswerer answerer(QStringLiteral("No"));
    start();
    QTest::qWait(500);
    QCOMPARE(answerer.Texts, QStringList{});
    QCOMPARE(journals().size(), 1);
    QCOMPARE(fileBytes(closed).count("\r\n"), 4);
}

void TestJournal::restoreOffered_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("question");
    const QString q = QStringLiteral("The session started on %1 did not close normally. Restore "
                                     "its %2?");
    QTest::addColumn<bool>("connect"); // started with --connect: nobody is asked
    QTest::newRow("one record, yes") << 1 << "Yes" << q.arg("%1", "1 record") << false;
    QTest::newRow("many, yes") << 1500 << "Yes"
                               << q.arg("%1", QLocale().toString(1500) + " records") << false;
    QTest::newRow("many, no") << 16 << "No" << q.arg("%1", "16 records") << false;
    QTest::newRow("--connect restores unasked") << 16 << "No" << QString() << true;
}

void TestJournal::restoreOffered()
{
    QFETCH(int, count);
    QFETCH(QString, answer);
    QFETCH(QString, question);
    QFETCH(bool, connect);
    // A session that ends without closing its journal, as a killed one does.
    TRecordTable before;
    QString left;
    const QDateTime started = QDateTime::currentDateTime();
    {
        TRecordJournal journal(before);
        QVERIFY(journal.Start(journalFolder()));
        left = journal.FileName();
        // Every field set, as a recorded row has them (the text form has no null).
        for (int i = 1; i <= count; ++i)
            appendRows(before, {recordRow(QByteArray::number(i),
                                          {"2026-12-09 14:38:12", "Rs", QByteArray::number(i * 0.5),
                                           "KOhm", "θ", "-0.3", "Deg", "100Hz"})});
    }
    DialogAnswerer answerer(answer);
    TStartOptions options;
    options.Simulate = options.Connect = connect;
    start(options);
    if (connect) {
        // The records come back first, then the meter's readings follow them.
        QTRY_VERIFY(w->Panel3->btnConnect->isChecked());
        auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
        QVERIFY(table->RecordCount() >= count);
        QCOMPARE(rowsOf(*table).mid(0, count), rowsOf(before));
        QTRY_VERIFY(!QFileInfo::exists(left));
        QCOMPARE(answerer.Texts, QStringList{});
        return;
    }
    QTRY_COMPARE(answerer.Texts.size(), 1);
    // The journal's name holds its start to the millisecond; the question to the second.
    const QString shown = answerer.Texts.first();
    QVERIFY2(shown == question.arg(started.toString("yyyy-MM-dd HH:mm:ss"))
                 || shown == question.arg(started.addSecs(1).toString("yyyy-MM-dd HH:mm:ss")),
             qPrintable(shown));
    auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    auto *journal = w->findChild<TRecordJournal *>(QStringLiteral("Journal"));
    if (answer == QLatin1String("Yes")) {
        QTRY_COMPARE(table->RecordCount(), qsizetype(count));
        QCOMPARE(rowsOf(*table), rowsOf(before));
        // Moved into this session's journal; the old one is gone, nothing else is asked.
        QTRY_VERIFY(!QFileInfo::exists(left));
        QCOMPARE(fileBytes(journal->FileName()).count("\r\n"), count + 1);
    } else {
        QTest::qWait(200);
        QCOMPARE(table->RecordCount(), qsizetype(0));
        QVERIFY(QFileInfo::exists(left));
    }
    QCOMPARE(answerer.Texts.size(), 1);
}

void TestJournal::offJournal_data()
{
    QTest::addColumn<bool>("fullDisk"); // else the state folder cannot be made
    QTest::newRow("disk full while recording") << true;
    QTest::newRow("unwritable state folder") << false;
}

void TestJournal::offJournal()
{
    QFETCH(bool, fullDisk);
    if (!fullDisk) {
        // Not even root can make a folder below a file.
        QFile file(State_->filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        qputenv(StateHomeVariable, (file.fileName() + QStringLiteral("/state")).toLocal8Bit());
    }
    DialogAnswerer answerer(QStringLiteral("OK"));
    start();
    auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    {
        std::optional<FileSizeLimit> limit;
        if (fullDisk) {
            SKIP_WITHOUT_FILE_SIZE_LIMIT();
            limit.emplace(1500);
        }
        for (int i = 0; i < 10; ++i) {
            feed(*w, 20);
            QTest::qWait(20); // the notice is shown and answered meanwhile
        }
    }
    QTRY_COMPARE(answerer.Texts.size(), 1);
    QTest::qWait(200);
    QCOMPARE(answerer.Texts.size(), 1);
    QVERIFY2(answerer.Texts.first().startsWith(
                 QStringLiteral("The records are no longer kept safe on disk: ")),
             qPrintable(answerer.Texts.first()));
    // The folder and the system's reason, not a file that was never made.
    const QString folder =
        QDir::toNativeSeparators(qEnvironmentVariable(StateHomeVariable) + QLatin1Char('/')
                                 + QLatin1String(StateFolderName));
    QVERIFY2(answerer.Texts.first().contains(
                 fullDisk ? QStringLiteral("File too large")
                          : QStringLiteral("Cannot keep a journal in the folder \"%1\". %2")
                                .arg(folder, QString::fromLocal8Bit(std::strerror(ENOTDIR)))),
             qPrintable(answerer.Texts.first()));
    QCOMPARE(table->RecordCount(), qsizetype(200));
    feed(*w, 5);
    QCOMPARE(table->RecordCount(), qsizetype(205));
    if (fullDisk) {
        // Room again: within a second or so the rows missed are written and it goes on whole.
        auto *journal = w->findChild<TRecordJournal *>(QStringLiteral("Journal"));
        QTRY_VERIFY_WITH_TIMEOUT(journal->IsOn(), 5000);
        feed(*w, 2);
        QCOMPARE(journaled(journal->FileName()), rowsOf(*table));
        QCOMPARE(answerer.Texts.size(), 1);
    }
}

void TestJournal::damagedJournalRestoredOnce_data()
{
    QTest::addColumn<bool>("ownJournal"); // else this session cannot keep one
    QTest::newRow("taken over by this session's journal") << true;
    QTest::newRow("without a journal of this session's own") << false;
}

void TestJournal::damagedJournalRestoredOnce()
{
    QFETCH(bool, ownJournal);
    // Left by a crash, with lines a disk fault spoilt between whole rows.
    QVERIFY(QDir().mkpath(journalFolder()));
    const QString left =
        QDir(journalFolder()).filePath(QStringLiteral("journal-20261209-143812-000-1.txt"));
    QVERIFY(writeFile(left, JournalHeaderLine()
                                + "1\ta\r\n2\tb\rx\r\n\\3\tc\\q\r\n"
                                  "4\td\te\\tf\r\n\\5\tg\\th\t\\N\t\t\t\t\t\t\r\n"));
    {
        DialogAnswerer answerer(QStringLiteral("Yes"));
        {
            // Too little room to start a journal: a lock still fits, the folder's probe not.
            std::optional<FileSizeLimit> limit;
            if (!ownJournal) {
                SKIP_WITHOUT_FILE_SIZE_LIMIT();
                limit.emplace(200);
            }
            start();
        }
        QTRY_COMPARE(answerer.Texts.size(), ownJournal ? 2 : 3);
        QCOMPARE(answerer.Texts.filter(QStringLiteral("Restore its 3 records?")).size(), 1);
        QVERIFY2(answerer.Texts.contains(QStringLiteral(
                     "2 damaged lines of the journal could not be restored; the other records "
                     "were.")),
                 qPrintable(answerer.Texts.join(u'|')));
        if (!ownJournal)
            QCOMPARE(answerer.Texts.filter(QStringLiteral("no longer kept safe")).size(), 1);
        auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
        QCOMPARE(rowsOf(*table),
                 (RecordRows{recordRow("1", {"a"}), recordRow("4", {"d", "e\\tf"}),
                             recordRow("5", {"g\th", Null, "", "", "", "", "", ""})}));
        // Without a journal of its own the session keeps the old one until it ends normally:
        // a crash meanwhile still finds it.
        QCOMPARE(QFileInfo::exists(left), !ownJournal);
        QVERIFY(w->close());
        QVERIFY(!QFileInfo::exists(left));
    }
    // Consumed: the next start offers nothing again.
    delete w;
    w = nullptr;
    DialogAnswerer answerer(QStringLiteral("Yes"));
    start();
    QTest::qWait(500);
    QCOMPARE(answerer.Texts, QStringList{});
    QCOMPARE(w->findChild<TRecordTable *>(QStringLiteral("cds1"))->RecordCount(), qsizetype(0));
}

void TestJournal::noJournalKeepsNothing()
{
    TStartOptions options;
    options.Journal = false;
    start(options);
    feed(*w, 5);
    QVERIFY(!w->findChild<TRecordJournal *>());
    QVERIFY(!QFileInfo::exists(journalFolder()));
}

void TestJournal::killedProcessLosesNoRow()
{
    QProcess lumetra;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QLatin1String(StateHomeVariable), State_->path());
    // A frame every 50 ms rather than the meter's two a second: rows come ten times as fast.
    env.insert(QStringLiteral("LUMETRA_SIM_FRAME_MS"), QStringLiteral("50"));
    lumetra.setProcessEnvironment(env);
    lumetra.setProcessChannelMode(QProcess::ForwardedChannels);
    lumetra.start(QCoreApplication::applicationDirPath() + QStringLiteral("/lumetra"),
                  {QStringLiteral("--simulate"), QStringLiteral("--connect")});
    QVERIFY2(lumetra.waitForStarted(), qPrintable(lumetra.errorString()));

    // Wait for at least eight recorded rows.
    QString name;
    qsizetype seen = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QStringList found = journals();
            if (found.isEmpty())
                return false;
            name = QDir(journalFolder()).filePath(found.last());
            seen = fileBytes(name).count("\r\n") - 1;
            return seen >= 8;
        }(),
        60000);
    lumetra.kill(); // no goodbye, no last write
    QVERIFY(lumetra.waitForFinished(10000));
    QCOMPARE(lumetra.exitStatus(), QProcess::CrashExit);

    // Every row it had posted, whole, numbered from 1 without a gap.
    const QByteArray bytes = fileBytes(name);
    QVERIFY(bytes.startsWith(JournalHeaderLine()));
    QVERIFY(bytes.endsWith("\r\n"));
    QList<QByteArray> lines = bytes.chopped(2).split('\n');
    lines.removeFirst();
    QVERIFY(lines.size() >= seen);
    for (int i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].chopped(1).split('\t');
        QCOMPARE(fields.size(), TRecordTable::FieldCount);
        QCOMPARE(fields[0], QByteArray::number(i + 1));
        QVERIFY2(!fields[3].isEmpty() || !fields[2].isEmpty(), lines[i].constData());
    }
    TRecordTable expected;
    QVERIFY(AnyToCds(name, expected, false).Ok);

    // The next start offers exactly those rows, and Yes gives the same table back.
    DialogAnswerer answerer(QStringLiteral("Yes"));
    start();
    QTRY_COMPARE(answerer.Texts.size(), 1);
    QVERIFY2(answerer.Texts.first().contains(QStringLiteral(" %1 records?").arg(lines.size())),
             qPrintable(answerer.Texts.first()));
    auto *table = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    QTRY_COMPARE(table->RecordCount(), qsizetype(lines.size()));
    QCOMPARE(rowsOf(*table), rowsOf(expected));
}

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
