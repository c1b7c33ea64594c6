// One meter session without any front end, fed by hand: what it tells, and in which order, for
// the events a front end and anything subscribed to a session rely on.
#include "../support/frames.h"
#include "../support/headlesschart.h"
#include "../support/partbatch.h"
#include "../support/testfiles.h"
#include "tmemorysource.h"
#include "tmetersession.h"
#include "trecordtable.h"
#include "treplaysource.h"
#include "tserialsource.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// The session's signals as one line each; a frame's refreshes are one "display".
class TSignalLog : public QObject
{
public:
    explicit TSignalLog(TMeterSession &session)
    {
        connect(&session, &TMeterSession::DisplayChanged, this,
                [this](const TMeterState &s, TDisplayChanges changes) {
                    if (changes == TDisplayPart::Activity)
                        add(QStringLiteral("activity"));
                    else if (changes == TDisplayPart::MainText)
                        add(QStringLiteral("text:") + s.MainText);
                    else
                        add(QStringLiteral("display"));
                });
        connect(&session, &TMeterSession::PointAdded, this, [this](double value, int page) {
            add(QStringLiteral("point:%1@%2").arg(value).arg(page));
        });
        connect(&session, &TMeterSession::ReadingRecorded, this,
                [this, &session](qsizetype row, const TMeterState &) {
                    add(QStringLiteral("recorded:%1:%2")
                            .arg(row)
                            .arg(session.Table().TextAt(row, TRecordTable::aMValue)));
                });
        connect(&session, &TMeterSession::NoticeRaised, this,
                [this](const TNotice &n) { add(QStringLiteral("notice:") + n.Text); });
        connect(&session, &TMeterSession::LinkOpened, this, [this] { add("opened"); });
        connect(&session, &TMeterSession::LinkClosed, this, [this] { add("closed"); });
        connect(&session, &TMeterSession::LinkLost, this,
                [this](const QString &why) { add(QStringLiteral("lost:") + why); });
    }
    void add(const QString &line) { Lines << line; }
    QStringList Lines;
};

QByteArray cpFrame()
{
    // Parallel capacitance at 100 Hz: recorded and shown as a whole number.
    TFrameFields f = workedFields();
    f.Parallel = true;
    f.Frequency = 0;
    f.MainValue = 1287;
    f.MainDecimals = 2;
    return EncodeFrame(f);
}

QByteArray overloadFrame()
{
    TFrameFields f = workedFields();
    f.MainStatus = 3;
    return EncodeFrame(f);
}

// The main readings of a session's rows, in order.
QStringList recordedValues(const TMeterSession &session)
{
    QStringList values;
    for (qsizetype r = 0; r < session.Table().RecordCount(); ++r)
        values << session.Table().TextAt(r, TRecordTable::aMValue);
    return values;
}

} // namespace

Q_DECLARE_METATYPE(TPartSteps)

class TstMeterSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void signalOrder_data();
    void signalOrder();
    void silentLinkIsClosedByTheWatchdog();
    void onePerPart_data();
    void onePerPart();
    void onePerPartFastAndPacedReplay();
    void recordingModes_data();
    void recordingModes();
};

void TstMeterSession::signalOrder_data()
{
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<bool>("sampling");
    // open, close, refuse (the next open fails), feed (the worked frame), feed2 (it again),
    // cp, ol (overload), half (a frame's first half), tick (a sampling pass), lose
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");

    const QString noDevice = QStringLiteral("No device found.");
    QTest::newRow("recorded frame")
        << true << false << "open feed"
        << QStringList{"opened", "activity", "display", "point:123.4@1", "recorded:0:123.4"};
    QTest::newRow("unchanged frame, not recorded without repeat")
        << false << false << "open feed feed2"
        << QStringList{"opened",           "activity", "display", "point:123.4@1",
                       "recorded:0:123.4", "activity", "display", "point:123.4@1"};
    QTest::newRow("half a frame: nothing but the block")
        << true << false << "open half" << QStringList{"opened", "activity"};
    QTest::newRow("sampling: the block waits for the tick")
        << true << true << "open feed tick"
        << QStringList{"opened", "activity", "display", "point:123.4@1", "recorded:0:123.4"};
    QTest::newRow("sampling: a tick with nothing waiting")
        << true << true << "open tick" << QStringList{"opened"};
    QTest::newRow("Cp rule rewrites the shown reading before the row")
        << true << false << "open cp" << QStringList{"opened",        "activity", "display",
                                                     "point:12.87@1", "text:12",  "recorded:0:12"};
    QTest::newRow("overload plots full scale")
        << true << false << "open ol"
        << QStringList{"opened", "activity", "display", "point:2000@1", "recorded:0:OL"};
    QTest::newRow("link lost") << true << false << "open feed lose"
                               << QStringList{"opened",
                                              "activity",
                                              "display",
                                              "point:123.4@1",
                                              "recorded:0:123.4",
                                              "lost:cable pulled",
                                              "notice:cable pulled",
                                              "closed"};
    QTest::newRow("refused open: a notice, no link")
        << true << false << "refuse open feed" << QStringList{"notice:" + noDevice};
    QTest::newRow("closed: blocks no longer arrive")
        << true << false << "open close feed" << QStringList{"opened", "closed"};
}

void TstMeterSession::signalOrder()
{
    QFETCH(bool, repeat);
    QFETCH(bool, sampling);
    QFETCH(QString, script);
    QFETCH(QStringList, expected);

    TMeterSession session;
    THeadlessChart chart;
    session.SetChart(chart, 100);
    auto *source = new TMemorySource;
    session.SetSource(source);
    session.SetMode(
        TRecordingMode::Of(TRecordingMode::OnChange).WithRepeat(repeat).WithSampling(sampling));
    TSignalLog log(session);
    for (const QString &step : script.split(QLatin1Char(' '))) {
        if (step == QLatin1String("open"))
            session.Open();
        else if (step == QLatin1String("close"))
            session.Close();
        else if (step == QLatin1String("refuse"))
            source->Refuse({TNoticeKind::Information, QStringLiteral("No device found.")});
        else if (step.startsWith(QLatin1String("feed")))
            source->Feed(WorkedFrame);
        else if (step == QLatin1String("cp"))
            source->Feed(cpFrame());
        else if (step == QLatin1String("ol"))
            source->Feed(overloadFrame());
        else if (step == QLatin1String("half"))
            source->Feed(WorkedFrame.left(8));
        else if (step == QLatin1String("tick"))
            session.SamplingTick();
        else if (step == QLatin1String("lose"))
            source->Lose(QStringLiteral("cable pulled"));
        else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(log.Lines, expected);
    // Every point told is on the chart, after the zero point it starts with; every row told is
    // in the table.
    QCOMPARE(chart.pointCount(), 1 + qsizetype(log.Lines.filter(QStringLiteral("point:")).size()));
    QCOMPARE(session.Table().RecordCount(),
             qsizetype(log.Lines.filter(QStringLiteral("recorded:")).size()));
}

void TstMeterSession::silentLinkIsClosedByTheWatchdog()
{
    TMeterSession session;
    auto *source = new TMemorySource;
    session.SetSource(source);
    session.Watchdog()->setInterval(50); // the 10 s watchdog, shortened
    session.SetWatchdog(true);
    TSignalLog log(session);
    QVERIFY(session.Open());
    QVERIFY(session.Watchdog()->isActive());
    // A pause is not silence: the watchdog stands still until reading goes on.
    session.SetPaused(true);
    QVERIFY(!session.Watchdog()->isActive());
    session.SetPaused(false);
    QTRY_VERIFY(!source->IsOpen());
    const QString lost =
        QStringLiteral("USB interface cable is not connected properly, please check and re-try.");
    QCOMPARE(log.Lines, (QStringList{"opened", "closed", "lost:" + lost, "notice:" + lost}));
}

void TstMeterSession::onePerPart_data()
{
    // Frames 500 ms apart on the source's clock, as the meter sends them; the rule's defaults
    // (0.2 % or 2 counts, settled for 1.5 s, a swap beyond 5 %). A held part's row is the
    // reading that completed the settle: its fourth frame, which reads 0.2 nF over (partHeld).
    QTest::addColumn<TPartSteps>("steps");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<bool>("sampling");
    QTest::addColumn<QStringList>("recorded");

    QTest::newRow("settles: one row")
        << TPartSteps{{0, PartOPEN, 2}, {100.0, 0, 8}} << false << false << QStringList{"100.0"};
    QTest::newRow("noise within the band: one row")
        << TPartSteps{{0, PartOPEN}} + partHeld(100.0, 40) << false << false
        << QStringList{"100.2"};
    TPartSteps drift{{0, PartOPEN}, {100.0, 0, 5}};
    for (int i = 1; i <= 80; ++i) // a count a frame, 8 % in all
        drift.append(TPartStep{100.0 + 0.1 * i});
    QTest::newRow("slow drift: one row") << drift << false << false << QStringList{"100.0"};
    QTest::newRow("OPEN between two parts: two rows")
        << partBatch({100.0, 100.2}, 6) << false << false << QStringList{"100.2", "100.4"};
    QTest::newRow("OL between two parts: two rows")
        << TPartSteps{{100.0, 0, 6}, {0, PartOL, 2}, {220.0, 0, 6}} << false << false
        << QStringList{"100.0", "220.0"};
    QTest::newRow("swapped without lifting: two rows")
        << TPartSteps{{100.0, 0, 6}, {150.0, 0, 6}} << false << false
        << QStringList{"100.0", "150.0"};
    QTest::newRow("a jump that does not settle is no new part")
        << TPartSteps{{100.0, 0, 6}, {150.0}, {100.0, 0, 6}} << false << false
        << QStringList{"100.0"};
    QTest::newRow("HOLD switched on: no second row")
        << TPartSteps{{100.0, 0, 6}, {100.0, 0, 6, true}, {100.0, 0, 6}} << false << false
        << QStringList{"100.0"};
    QTest::newRow("relative switched on: no second row")
        << TPartSteps{{100.0, 0, 6}, {0.0, 0, 6, false, true}} << false << false
        << QStringList{"100.0"};
    QTest::newRow("Repeat before it does not apply")
        << TPartSteps{{0, PartOPEN, 2}, {100.0, 0, 8}} << true << false << QStringList{"100.0"};
    QTest::newRow("sampling before it does not apply")
        << partBatch({100.0, 47.0}, 6) << false << true << QStringList{"100.2", "47.2"};
}

void TstMeterSession::onePerPart()
{
    QFETCH(TPartSteps, steps);
    QFETCH(bool, repeat);
    QFETCH(bool, sampling);
    QFETCH(QStringList, recorded);

    TMeterSession session;
    auto *source = new TMemorySource;
    session.SetSource(source);
    // The mode before the part rule, and after it.
    const TRecordingMode was = TRecordingMode::Of(TRecordingMode::OnChange)
                                   .WithRepeat(repeat)
                                   .WithSampling(sampling)
                                   .WithInterval(60000);
    session.SetMode(was);
    session.SetMode(was.WithKind(TRecordingMode::PerPart));
    QVERIFY(!session.Sampling());
    QVERIFY(session.Open());
    forEachPartFrame(steps, 500,
                     [&](const QByteArray &frame, qint64 t) { source->Feed(frame, t); });
    QCOMPARE(recordedValues(session), recorded);

    // Off again, the reading is recorded as before: on change against the last row recorded,
    // or every frame with Repeat.
    session.SetMode(was);
    QCOMPARE(session.Sampling(), sampling);
    const qsizetype before = session.Table().RecordCount();
    source->Feed(partFrame(TPartStep{33.0}), 1000000);
    source->Feed(partFrame(TPartStep{33.0}), 1000500);
    if (!sampling)
        QCOMPARE(session.Table().RecordCount(), before + (repeat ? 2 : 1));
}

void TstMeterSession::onePerPartFastAndPacedReplay()
{
    // The settle time runs on the capture's clock, so both replays take the same frames. Scaled
    // down so that the paced one plays in well under a second: 20 ms frames, settled in 60 ms.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString capture = dir.filePath("batch.cap");
    QVERIFY(writeFile(capture, partCapture(partBatch({100.0, 47.0, 22.0, 10.0, 4.7}, 6), 20)));
    TSettleOptions options;
    options.SettleMs = 60;
    QList<QStringList> rows;
    for (bool fast : {true, false}) {
        TMeterSession session;
        session.SetSource(new TReplaySource(capture, fast));
        TRecordingMode perPart = TRecordingMode::Of(TRecordingMode::PerPart);
        perPart.Settle = options;
        session.SetMode(perPart);
        QSignalSpy ended(&session, &TMeterSession::SourceEnded);
        QVERIFY(session.Open());
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
        rows << recordedValues(session);
    }
    QCOMPARE(rows[0], (QStringList{"100.2", "47.2", "22.2", "10.2", "4.9"}));
    QCOMPARE(rows[1], rows[0]);
}

void TstMeterSession::recordingModes_data()
{
    // Words, in order: a mode (every, change, sample, part) from then on; tick, a sampling pass;
    // anything else a frame 500 ms after the one before: a capacitance reading in nF as shown
    // ("100.0"), with "*" another secondary reading, "cp" before it parallel at 100 Hz (the Cp
    // rule), or OL over the reading before.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("rows");     // aMValue of every row, in order
    QTest::addColumn<QString>("lastRecorded"); // what the next "on change" compares with

    QTest::newRow("every frame, unchanged ones too")
        << "every 100.0 100.0 100.0*" << QStringList{"100.0", "100.0", "100.0"} << "100.0";
    QTest::newRow("on change: only the main text counts")
        << "change 100.0 100.0 100.0* 101.0 101.0" << QStringList{"100.0", "101.0"} << "101.0";
    QTest::newRow("on change: a new status alone takes no row")
        << "change 100.0 OL 101.0" << QStringList{"100.0", "101.0"} << "101.0";
    QTest::newRow("Cp rule: the whole number is the baseline, so a fraction records each time")
        << "change cp12.87 cp12.87" << QStringList{"12", "12"} << "12";
    QTest::newRow("Cp rule: a whole reading equal to the baseline records once")
        << "change cp12 cp12" << QStringList{"12"} << "12";
    QTest::newRow("every, then on change: compared with the last row")
        << "every 100.0 101.0 change 101.0 102.0" << QStringList{"100.0", "101.0", "102.0"}
        << "102.0";
    QTest::newRow("every after Cp, then on change: compared with the whole number")
        << "every cp12.87 change cp12 cp12.50" << QStringList{"12", "12"} << "12";
    QTest::newRow("on change, then every")
        << "change 100.0 100.0 every 100.0" << QStringList{"100.0", "100.0"} << "100.0";
    QTest::newRow("sampling: a tick records the newest frame waiting, unchanged ones too")
        << "sample 100.0 101.0 tick tick 101.0 tick" << QStringList{"101.0", "101.0"} << "101.0";
    QTest::newRow("sampling off: frames are taken as they come again")
        << "sample 100.0 every 101.0" << QStringList{"101.0"} << "101.0";
    QTest::newRow("sampling, then on change: compared with the last tick's row")
        << "sample 100.0 tick 101.0 change 100.0 101.0" << QStringList{"100.0", "101.0"} << "101.0";
    QTest::newRow("one reading per part: one row once settled")
        << "part 100.0 100.0 100.0 100.0 100.0 100.0" << QStringList{"100.0"} << "100.0";
    QTest::newRow("per part, then on change: frames it passed over are no baseline")
        << "part 100.0 100.0 100.0 100.0 100.3 change 100.3 100.3" << QStringList{"100.0", "100.3"}
        << "100.3";
    QTest::newRow("per part chosen again: the same part is not recorded twice")
        << "part 100.0 100.0 100.0 100.0 part 100.0 100.0 100.0 100.0" << QStringList{"100.0"}
        << "100.0";
    QTest::newRow("every, per part, every") << "every 50.0 part 100.0 100.0 100.0 100.0 every 100.0"
                                            << QStringList{"50.0", "100.0", "100.0"} << "100.0";
}

// Which frames become rows, with which main text, and what the next "on change" compares
// with, as modes change in the middle of a stream.
void TstMeterSession::recordingModes()
{
    QFETCH(QString, script);
    QFETCH(QStringList, rows);
    QFETCH(QString, lastRecorded);

    TMeterSession session;
    auto *source = new TMemorySource;
    source->Feed(QByteArray(), 0); // on its own clock from the start, so settling is exact
    session.SetSource(source);
    QVERIFY(session.Open());
    TRecordingMode mode = TRecordingMode{}.WithInterval(60000); // ticks only when told
    qint64 t = 0;
    TFrameFields last = workedFields();
    for (const QString &word : script.split(QLatin1Char(' '))) {
        static const QHash<QString, TRecordingMode::TKind> kinds{
            {"every", TRecordingMode::EveryFrame},
            {"change", TRecordingMode::OnChange},
            {"sample", TRecordingMode::Sampling},
            {"part", TRecordingMode::PerPart}};
        if (kinds.contains(word)) {
            mode = mode.WithKind(kinds.value(word));
            session.SetMode(mode);
            continue;
        }
        if (word == QLatin1String("tick")) {
            session.SamplingTick();
            continue;
        }
        TFrameFields f = workedFields();
        f.MainValue = last.MainValue;
        f.MainDecimals = last.MainDecimals;
        QString reading = word;
        if (reading.startsWith(QLatin1String("cp"))) {
            reading.remove(0, 2);
            f.Parallel = true;
            f.Frequency = 0;
        }
        if (reading.endsWith(QLatin1Char('*'))) {
            reading.chop(1);
            f.SubValue = 99;
        }
        if (reading == QLatin1String("OL")) {
            f.MainStatus = 3;
        } else {
            const qsizetype point = reading.indexOf(QLatin1Char('.'));
            f.MainDecimals = point < 0 ? 0 : int(reading.size() - point - 1);
            f.MainValue = reading.remove(QLatin1Char('.')).toInt();
        }
        source->Feed(EncodeFrame(f), t += 500);
        last = f;
    }
    QCOMPARE(recordedValues(session), rows);
    QCOMPARE(session.Policy().LastRecordedText(), lastRecorded);
    QCOMPARE(session.Mode(), mode);
}

QTEST_GUILESS_MAIN(TstMeterSession)
#include "tst_metersession.moc"
