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

// The session's signals as one line each; a run of refreshes counts as one "display".
class TSignalLog : public QObject
{
public:
    explicit TSignalLog(TMeterSession &session)
    {
        connect(&session, &TMeterSession::DisplayChanged, this,
                [this](TDisplayPart part, const TMeterState &s) {
                    if (part == TDisplayPart::Activity)
                        add(QStringLiteral("activity"));
                    else if (part == TDisplayPart::MainText)
                        add(QStringLiteral("text:") + s.MainText);
                    else if (Lines.isEmpty() || Lines.last() != QLatin1String("display"))
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
    void serialPortsPresent_data();
    void serialPortsPresent();
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
    QTest::newRow("recorded frame") << true << false << "open feed"
                                    << QStringList{"opened",        "activity", "display",
                                                   "point:123.4@1", "display",  "recorded:0:123.4"};
    QTest::newRow("unchanged frame, not recorded without repeat")
        << false << false << "open feed feed2"
        << QStringList{"opened",           "activity", "display", "point:123.4@1", "display",
                       "recorded:0:123.4", "activity", "display", "point:123.4@1", "display"};
    QTest::newRow("half a frame: nothing but the block")
        << true << false << "open half" << QStringList{"opened", "activity"};
    QTest::newRow("sampling: the block waits for the tick")
        << true << true << "open feed tick"
        << QStringList{"opened",        "activity", "display",
                       "point:123.4@1", "display",  "recorded:0:123.4"};
    QTest::newRow("sampling: a tick with nothing waiting")
        << true << true << "open tick" << QStringList{"opened"};
    QTest::newRow("Cp rule rewrites the shown reading before the row")
        << true << false << "open cp"
        << QStringList{"opened",  "activity", "display",      "point:12.87@1",
                       "display", "text:12",  "recorded:0:12"};
    QTest::newRow("overload plots full scale")
        << true << false << "open ol"
        << QStringList{"opened", "activity", "display", "point:2000@1", "display", "recorded:0:OL"};
    QTest::newRow("link lost")
        << true << false << "open feed lose"
        << QStringList{"opened",  "activity",         "display",           "point:123.4@1",
                       "display", "recorded:0:123.4", "lost:cable pulled", "notice:cable pulled",
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
    session.SetRepeat(repeat);
    session.SetSampling(sampling);
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
    QTest::newRow("Repeat does not apply")
        << TPartSteps{{0, PartOPEN, 2}, {100.0, 0, 8}} << true << false << QStringList{"100.0"};
    QTest::newRow("sampling does not apply")
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
    session.SetRepeat(repeat);
    session.SetSampling(sampling);
    session.SetSamplingInterval(60000);
    session.SetPartRule(TSettleOptions{});
    QVERIFY(session.PartRule());
    QVERIFY(session.Open());
    forEachPartFrame(steps, 500,
                     [&](const QByteArray &frame, qint64 t) { source->Feed(frame, t); });
    QCOMPARE(recordedValues(session), recorded);

    // Off again, the reading is recorded as before: on change against the last row recorded,
    // or every frame with Repeat.
    session.SetPartRule(std::nullopt);
    QVERIFY(!session.PartRule());
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
        session.SetPartRule(options);
        QSignalSpy ended(&session, &TMeterSession::SourceEnded);
        QVERIFY(session.Open());
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
        rows << recordedValues(session);
    }
    QCOMPARE(rows[0], (QStringList{"100.2", "47.2", "22.2", "10.2", "4.9"}));
    QCOMPARE(rows[1], rows[0]);
}

QTEST_GUILESS_MAIN(TstMeterSession)
#include "tst_metersession.moc"

void TstMeterSession::serialPortsPresent_data()
{
    // A tty as the kernel shows it: its name and the driver behind it ("" for a tty with no
    // device, such as a console).
    QTest::addColumn<QStringList>("ttys");   // "name=driver"
    QTest::addColumn<QStringList>("listed"); // names, under the device folder
    QTest::newRow("adapters") << QStringList{"ttyUSB1=cp210x", "ttyACM0=cdc_acm",
                                             "ttyUSB0=ftdi_sio"}
                              << QStringList{"ttyACM0", "ttyUSB0", "ttyUSB1"};
    QTest::newRow("consoles and terminals")
        << QStringList{"tty0=", "tty1=", "ptmx=", "ttyUSB0=cp210x"} << QStringList{"ttyUSB0"};
    // A legacy port that has no node to ask about a UART is no port.
    QTest::newRow("8250 without UART")
        << QStringList{"ttyS0=serial8250", "ttyS1=serial8250"} << QStringList{};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void TstMeterSession::serialPortsPresent()
{
#ifdef Q_OS_WIN
    QSKIP("the ports of Linux's sysfs; on Windows the registry's (tst_ccomm_win)");
#endif
    QFETCH(QStringList, ttys);
    QFETCH(QStringList, listed);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QDir dir(root.path());
    for (const QString &tty : ttys) {
        const QString name = tty.section('=', 0, 0);
        const QString driver = tty.section('=', 1);
        QVERIFY(dir.mkpath("class/" + name));
        if (driver.isEmpty())
            continue;
        // As in sysfs: "device" and its "driver" are links into the device tree.
        QVERIFY(dir.mkpath("devices/" + name + "/drivers/" + driver));
        QVERIFY(QFile::link(dir.filePath("devices/" + name),
                            dir.filePath("class/" + name + "/device")));
        QVERIFY(QFile::link(dir.filePath("devices/" + name + "/drivers/" + driver),
                            dir.filePath("devices/" + name + "/driver")));
    }
    QStringList expected;
    for (const QString &name : listed)
        expected << dir.filePath("dev/" + name);
    QCOMPARE(SerialPorts(dir.filePath("class"), dir.filePath("dev")), expected);
}
