// lumetra-record --reconnect as a user runs it, against simulated bridges that come loose over
// and over (LUMETRA_SIM_UNPLUG): the run goes on, each outage is told going and coming back,
// and the rows go on with their numbers.
#include "../support/recorderrun.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestRecorderReconnect : public QObject
{
    Q_OBJECT
private slots:
    void runsThroughOutages_data();
    void runsThroughOutages();
};

void TestRecorderReconnect::runsThroughOutages_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("rows");     // exactly; -1: as many as came
    QTest::addColumn<int>("outages");  // at least
    QTest::addColumn<int>("mostLost"); // frames an outage may cost; 0: not counted
    QTest::addColumn<QString>("stderrHas");

    // As a user tries it from a shell: a cable out for 0.7 s every 2 s.
    QTest::newRow("sixty rows through outages")
        << QStringList{"LUMETRA_SIM_FRAME_MS=100", "LUMETRA_SIM_UNPLUG=2000:700"}
        << QStringList{"--simulate", "--reconnect", "--frames", "60", "--output", "r.txt"} << 0
        << 60 << 2 << 0 << "";
    // A hundred outages in one run, the meter counting its frames: none may come twice, and
    // one outage costs the frames sent while the cable was out (and the one it cut), plus what
    // a quarter of a second to open the bridge again would cost, never a retry's wait.
    QTest::newRow("a hundred outages")
        << QStringList{"LUMETRA_SIM_FRAME_MS=100", "LUMETRA_SIM_UNPLUG=500:100",
                       "LUMETRA_SIM_SCENE=count"}
        << QStringList{"--simulate", "--reconnect", "--duration", "50.45",
                       "--output",   "r.txt",       "--quiet"}
        << 0 << -1 << 100 << 1 + (100 + 250) / 100 + 1 << "";
    QTest::newRow("not with a replay")
        << QStringList{} << QStringList{"--replay", "c.txt", "--reconnect", "--output", "r.txt"}
        << 1 << 0 << 0 << 0 << "--reconnect needs a meter that can come back";
}

void TestRecorderReconnect::runsThroughOutages()
{
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(int, rows);
    QFETCH(int, outages);
    QFETCH(int, mostLost);
    QFETCH(QString, stderrHas);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // The simulator's variables, for the recorder the test starts (the test has none of its own).
    for (const QString &a : environment)
        qputenv(qPrintable(a.section('=', 0, 0)), a.section('=', 1).toLocal8Bit());
    const Run run = runRecorder(arguments, folder.path(), 120000);
    for (const QString &a : environment)
        qunsetenv(qPrintable(a.section('=', 0, 0)));
    QVERIFY2(run.status == status, run.err.constData());
    QVERIFY2(run.err.contains(stderrHas.toLocal8Bit()), run.err.constData());
    if (status != 0) {
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("r.txt"))));
        return;
    }

    // Told going, then coming back, outage by outage; a run may end while the meter is away.
    const QStringList lines = QString::fromLocal8Bit(run.err).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression away(QStringLiteral(
        "^lumetra-record: LMT-SIM-0001: meter away at \\d\\d:\\d\\d:\\d\\d \\(the cable was "
        "pulled or the bridge went away\\); waiting for it to come back\\.$"));
    const QRegularExpression back(QStringLiteral(
        "^lumetra-record: LMT-SIM-0001: meter back at \\d\\d:\\d\\d:\\d\\d after \\d+[.,]\\d s "
        "away; the records go on from number (\\d+)\\.$"));
    int told = 0;
    QList<int> numbersBack;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpression &expected = i % 2 == 0 ? away : back;
        const auto m = expected.match(lines[i]);
        QVERIFY2(m.hasMatch(), qPrintable(lines[i]));
        if (i % 2 == 1) {
            ++told;
            numbersBack << m.captured(1).toInt();
        }
    }
    QVERIFY2(told >= outages, qPrintable(QString::number(told)));

    const QList<QStringList> recorded = fileRows(folder.filePath(QStringLiteral("r.txt")));
    if (rows >= 0)
        QCOMPARE(recorded.size(), rows);
    for (qsizetype r = 0; r < recorded.size(); ++r)
        QCOMPARE(recorded[r].first(), QString::number(r + 1));
    // Each return names the number of a row that came after it, in the order they came.
    for (qsizetype i = 1; i < numbersBack.size(); ++i)
        QVERIFY(numbersBack[i] > numbersBack[i - 1]);
    if (!numbersBack.isEmpty())
        QVERIFY(numbersBack.last() <= recorded.size() + 1);

    if (mostLost == 0)
        return;
    // The meter's readings count its frames (field 2 is aMValue, aTime being left out).
    int gaps = 0;
    for (qsizetype r = 1; r < recorded.size(); ++r) {
        const int step = recorded[r][2].toInt() - recorded[r - 1][2].toInt();
        QVERIFY2(step >= 1, qPrintable(QStringLiteral("row %1 repeats or goes back").arg(r + 1)));
        if (step > 1) {
            ++gaps;
            QVERIFY2(step - 1 <= mostLost,
                     qPrintable(
                         QStringLiteral("%1 frames lost before row %2").arg(step - 1).arg(r + 1)));
        }
    }
    // Frames are lost only where the meter was away.
    QVERIFY2(gaps <= told, qPrintable(QStringLiteral("%1 gaps, %2 outages").arg(gaps).arg(told)));
}

QTEST_GUILESS_MAIN(TestRecorderReconnect)
#include "tst_recorderreconnect.moc"
