// A run that goes on through outages: a session with reconnecting on, fed by hand or by a
// pseudo-terminal, and what it records and tells as the meter goes away and comes back.
#include "../support/frames.h"
#include "../support/simbridge.h"
#include "tbridgesource.h"
#include "tcp2110.h"
#include "tmemorysource.h"
#include "tmetersession.h"
#include "treconnector.h"
#include "trecordtable.h"
#ifdef Q_OS_LINUX
#include "../support/pty.h"
#include "tserialsource.h"
#endif

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>

namespace {

// A frame reading `value` ohms, so that every frame of a script is told apart in the rows.
QByteArray frameOf(int value)
{
    TFrameFields f = workedFields();
    f.MainMode = 3;
    f.MainUnit = 1;
    f.MainDecimals = 0;
    f.MainValue = value;
    return EncodeFrame(f);
}

// What a reconnecting session told and recorded.
struct TOutageLog
{
    QString Order;             // "A" for each outage told going, "B" coming back
    QList<qsizetype> RowsAway; // rows recorded when the meter went away
    QList<int> NumbersBack;    // the record number each "back" said the records go on from
    QStringList Texts;

    explicit TOutageLog(TReconnector &r)
    {
        QObject::connect(&r, &TReconnector::MeterAway, &r, [this, &r](const QString &text) {
            Order += QLatin1Char('A');
            Texts << text;
            RowsAway << qobject_cast<TMeterSession *>(r.parent())->Table().RecordCount();
        });
        QObject::connect(&r, &TReconnector::MeterBack, &r, [this](const QString &text, qint64) {
            Order += QLatin1Char('B');
            Texts << text;
            const auto m = QRegularExpression(QStringLiteral("from number (\\d+)\\.$")).match(text);
            NumbersBack << (m.hasMatch() ? m.captured(1).toInt() : -1);
        });
    }
};

QList<int> recordedValues(const TRecordTable &t)
{
    QList<int> values;
    for (qsizetype r = 0; r < t.RecordCount(); ++r)
        values << t.TextAt(r, TRecordTable::aMValue).toInt();
    return values;
}

// Every row's number is its place: the numbers go on across outages.
bool numberedInOrder(const TRecordTable &t)
{
    for (qsizetype r = 0; r < t.RecordCount(); ++r)
        if (t.TextAt(r, TRecordTable::aNO) != QString::number(r + 1))
            return false;
    return true;
}

} // namespace

class TstReconnect : public QObject
{
    Q_OBJECT
private slots:
    void outagesOfAScript_data();
    void outagesOfAScript();
    void bridgeComesBackByItsArrival_data();
    void bridgeComesBackByItsArrival();
#ifdef Q_OS_LINUX
    void serialLineHangsUpAndComesBackUnderItsName();
#endif
};

void TstReconnect::outagesOfAScript_data()
{
    // The meter's script, one step a character. The meter numbers every frame it sends,
    // connected or not: f a whole frame, h the first 8 bytes of one (the rest never comes),
    // t the last 9 bytes of one (its start was never seen); L the cable is pulled (opens fail
    // until B: it is back); r a few retries go by while it is away; S it falls silent until
    // the next frame; X reconnecting is switched off.
    QTest::addColumn<bool>("reconnect");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("recorded");
    QTest::addColumn<int>("outages");
    QTest::addColumn<int>("notices");
    QTest::newRow("cable pulled and plugged in again")
        << true << "ffLffBff" << QList<int>{1, 2, 5, 6} << 1 << 0;
    QTest::newRow("away through several retries, told once")
        << true << "fLrrrBf" << QList<int>{1, 2} << 1 << 0;
    QTest::newRow("meter silent, then sending again")
        << true << "ffSff" << QList<int>{1, 2, 3, 4} << 1 << 0;
    QTest::newRow("silent, then the cable pulled: one outage")
        << true << "fSLrBf" << QList<int>{1, 2} << 1 << 0;
    // Read as one, the start of 2 and the end of 3 would be a whole frame reading 2, which
    // the meter never sent whole.
    QTest::newRow("frame broken off at the cut") << true << "fhLBtf" << QList<int>{1, 4} << 1 << 0;
    QTest::newRow("one outage after another")
        << true << "fLBfLfBfSfLBf" << QList<int>{1, 2, 4, 5, 6} << 4 << 0;
    // Off, a pulled cable ends the link with the notice it always had, and nothing reopens it;
    // so it does once switched off again.
    QTest::newRow("reconnect off") << false << "fLrBf" << QList<int>{1} << 0 << 1;
    QTest::newRow("switched off again") << true << "fLBfXLrBf" << QList<int>{1, 2} << 1 << 1;
}

void TstReconnect::outagesOfAScript()
{
    QFETCH(bool, reconnect);
    QFETCH(QString, script);
    QFETCH(QList<int>, recorded);
    QFETCH(int, outages);
    QFETCH(int, notices);

    TMeterSession session;
    auto *source = new TMemorySource(QStringLiteral("bench"));
    session.SetSource(source);
    auto *reconnector = new TReconnector(session, &session);
    reconnector->SetRetryInterval(10);
    reconnector->SetEnabled(reconnect);
    session.Watchdog()->setInterval(200);
    TOutageLog log(*reconnector);
    QSignalSpy noticed(&session, &TMeterSession::NoticeRaised);
    QSignalSpy opened(&session, &TMeterSession::LinkOpened);
    QSignalSpy silent(&session, &TMeterSession::LinkSilent);
    QVERIFY(session.Open());

    int sent = 0;
    for (const QChar step : script) {
        switch (step.toLatin1()) {
        case 'f':
            source->Feed(frameOf(++sent));
            break;
        case 'h':
            source->Feed(frameOf(++sent).first(8));
            break;
        case 't':
            source->Feed(frameOf(++sent).sliced(8));
            break;
        case 'L':
            source->Refuse({TNoticeKind::Information, QStringLiteral("not there")});
            source->Lose(QStringLiteral("No device found."));
            break;
        case 'r':
            QTest::qWait(40);
            break;
        case 'B':
            source->Refuse({});
            if (reconnect)
                QVERIFY(opened.wait(2000));
            else
                QTest::qWait(40);
            break;
        case 'S':
            QVERIFY(silent.wait(2000));
            break;
        case 'X':
            reconnector->SetEnabled(false);
            reconnect = false;
            break;
        }
    }

    QCOMPARE(recordedValues(session.Table()), recorded);
    QVERIFY(numberedInOrder(session.Table()));
    QCOMPARE(log.Order, QString(QStringLiteral("AB").repeated(outages)));
    QCOMPARE(noticed.count(), notices);
    QCOMPARE(reconnector->Away(), false);
    QCOMPARE(session.IsOpen(), reconnect);
    // Each return names the number the records go on from: the one after the last before.
    QCOMPARE(log.NumbersBack.size(), log.RowsAway.size());
    for (qsizetype i = 0; i < log.NumbersBack.size(); ++i)
        QCOMPARE(log.NumbersBack[i], int(log.RowsAway[i]) + 1);
    for (qsizetype i = 0; i < log.Texts.size(); i += 2) {
        QVERIFY2(log.Texts[i].startsWith(QStringLiteral("bench: meter away at ")),
                 qPrintable(log.Texts[i]));
        QVERIFY2(log.Texts[i + 1].contains(QRegularExpression(QStringLiteral(
                     "^bench: meter back at \\d\\d:\\d\\d:\\d\\d after \\d+[.,]\\d s away;"))),
                 qPrintable(log.Texts[i + 1]));
    }
}

void TstReconnect::bridgeComesBackByItsArrival_data()
{
    QTest::addColumn<QString>("serial"); // as asked for; empty: any bridge
    QTest::addColumn<QString>("arrives");
    QTest::addColumn<QString>("reopened"); // empty: it stays away
    QTest::newRow("the same bridge") << "LMT-SIM-0001"
                                     << "LMT-SIM-0001"
                                     << "LMT-SIM-0001";
    QTest::newRow("another bridge is not the meter") << "LMT-SIM-0001"
                                                     << "Bench-B" << QString();
    QTest::newRow("any bridge when none was named") << QString() << "Bench-B"
                                                    << "Bench-B";
}

// The bridge arriving is what brings the meter back, not a retry long after.
void TstReconnect::bridgeComesBackByItsArrival()
{
    QFETCH(QString, serial);
    QFETCH(QString, arrives);
    QFETCH(QString, reopened);
    SimBridge sim;
    QCOMPARE(sim.Reset(), HID_UART_SUCCESS);
    TMeterSession session;
    auto *bridge = new TBridgeSource(TCP2110::SimulatedLibraryFile());
    QVERIFY(bridge->HasLibrary());
    bridge->SetSerial(serial);
    session.SetSource(bridge);
    auto *reconnector = new TReconnector(session, &session);
    reconnector->SetRetryInterval(60000);
    reconnector->SetEnabled(true);
    QSignalSpy away(reconnector, &TReconnector::MeterAway);
    QSignalSpy back(reconnector, &TReconnector::MeterBack);
    QSignalSpy noticed(&session, &TMeterSession::NoticeRaised);
    QVERIFY(session.Open());
    QVERIFY(session.WatchdogArmed());

    QCOMPARE(sim.Unplug(SimBridge::DefaultSerial), HID_UART_SUCCESS);
    QVERIFY(away.wait(2000));
    QTRY_VERIFY(!session.IsOpen());
    QCOMPARE(sim.Plug(qPrintable(arrives), 0x10C4, 0xEA80), HID_UART_SUCCESS);
    if (reopened.isEmpty()) {
        QVERIFY(!back.wait(300));
        QVERIFY(reconnector->Away());
    } else {
        QVERIFY(back.wait(2000));
        QCOMPARE(bridge->Bridge()->DeviceName, reopened);
        QVERIFY(session.IsOpen());
    }
    QCOMPARE(noticed.count(), 0);
    reconnector->SetEnabled(false);
    QVERIFY(!session.WatchdogArmed());
    session.Close();
}

#ifdef Q_OS_LINUX
// A USB serial adapter pulled and plugged in again: the line hangs up, its device goes, and a
// new one comes under the same name (here a link to a new pseudo-terminal).
void TstReconnect::serialLineHangsUpAndComesBackUnderItsName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("ttyMeter"));
    auto pty = std::make_unique<TPty>();
    const auto pointAt = [&](const TPty &to) {
        const QString fresh = name + QStringLiteral(".new");
        QFile::remove(fresh);
        return QFile::link(to.Name, fresh) && ::rename(qPrintable(fresh), qPrintable(name)) == 0;
    };
    QVERIFY(pty->IsOpen());
    QVERIFY(pointAt(*pty));

    TMeterSession session;
    session.SetSource(new TSerialSource(name));
    auto *reconnector = new TReconnector(session, &session);
    reconnector->SetRetryInterval(20);
    reconnector->SetEnabled(true);
    TOutageLog log(*reconnector);
    QSignalSpy recordedSpy(&session, &TMeterSession::ReadingRecorded);
    QSignalSpy away(reconnector, &TReconnector::MeterAway);
    QSignalSpy back(reconnector, &TReconnector::MeterBack);
    QSignalSpy noticed(&session, &TMeterSession::NoticeRaised);
    QVERIFY(session.Open());

    constexpr int Cycles = 3;
    int sent = 0;
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        QVERIFY(pty->Write(frameOf(++sent)));
        QTRY_COMPARE(recordedSpy.count(), sent);
        pty.reset();
        QVERIFY(away.wait(2000));
        // The hung-up port is closed at the first retry, which finds nothing under the name.
        QTRY_VERIFY(!session.IsOpen());
        // Nothing there under the name for a few retries.
        QTest::qWait(80);
        QCOMPARE(back.count(), cycle);
        pty = std::make_unique<TPty>();
        QVERIFY(pointAt(*pty));
        QVERIFY(back.wait(2000));
        QVERIFY(session.IsOpen());
    }
    QVERIFY(pty->Write(frameOf(++sent)));
    QTRY_COMPARE(recordedSpy.count(), sent);

    QCOMPARE(recordedValues(session.Table()), QList<int>({1, 2, 3, 4}));
    QVERIFY(numberedInOrder(session.Table()));
    QCOMPARE(log.Order, QString(QStringLiteral("AB").repeated(Cycles)));
    QCOMPARE(log.NumbersBack, QList<int>({2, 3, 4}));
    QVERIFY2(log.Texts.first().contains(
                 QStringLiteral("(the serial line hung up or the port went away)")),
             qPrintable(log.Texts.first()));
    QCOMPARE(noticed.count(), 0);
}
#endif

QTEST_GUILESS_MAIN(TstReconnect)
#include "tst_reconnect.moc"
