// One meter session without any front end, fed by hand: what it tells, and in which order, for
// the events a front end and anything subscribed to a session rely on.
#include "../support/frames.h"
#include "../support/headlesschart.h"
#include "tmemorysource.h"
#include "tmetersession.h"
#include "trecordtable.h"

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

} // namespace

class TstMeterSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void signalOrder_data();
    void signalOrder();
    void silentLinkIsClosedByTheWatchdog();
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
        << QStringList{"opened", "activity", "display", "point:123.4@1", "display",
                       "recorded:0:123.4"};
    QTest::newRow("unchanged frame, not recorded without repeat")
        << false << false << "open feed feed2"
        << QStringList{"opened",  "activity",      "display", "point:123.4@1", "display",
                       "recorded:0:123.4", "activity", "display", "point:123.4@1", "display"};
    QTest::newRow("half a frame: nothing but the block")
        << true << false << "open half" << QStringList{"opened", "activity"};
    QTest::newRow("sampling: the block waits for the tick")
        << true << true << "open feed tick"
        << QStringList{"opened", "activity", "display", "point:123.4@1", "display",
                       "recorded:0:123.4"};
    QTest::newRow("sampling: a tick with nothing waiting")
        << true << true << "open tick" << QStringList{"opened"};
    QTest::newRow("Cp rule rewrites the shown reading before the row")
        << true << false << "open cp"
        << QStringList{"opened", "activity", "display", "point:12.87@1", "display", "text:12",
                       "recorded:0:12"};
    QTest::newRow("overload plots full scale")
        << true << false << "open ol"
        << QStringList{"opened", "activity", "display", "point:2000@1", "display",
                       "recorded:0:OL"};
    QTest::newRow("link lost")
        << true << false << "open feed lose"
        << QStringList{"opened",   "activity",      "display",          "point:123.4@1",
                       "display",  "recorded:0:123.4", "lost:cable pulled", "notice:cable pulled",
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
    QCOMPARE(chart.pointCount(),
             1 + qsizetype(log.Lines.filter(QStringLiteral("point:")).size()));
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

QTEST_GUILESS_MAIN(TstMeterSession)
#include "tst_metersession.moc"
