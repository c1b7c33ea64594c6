// The window on the lab bus (--mqtt), against a real mosquitto: what it records is published
// in order with the rows' own numbers, a broker that is away at start costs no row, and each
// change of the bus's state is told once.
#include "../support/frames.h"
#include "../support/mosquittobroker.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tlabreading.h"
#include "tlabsubscriber.h"
#include "tlaburl.h"
#include "trecordtable.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TFrameFields reading(int value)
{
    TFrameFields f = workedFields();
    f.Auto = false;
    f.MainValue = value;
    return f;
}

TLabUrl subscribeUrl(const TMosquittoBroker &broker)
{
    QString error;
    const auto url =
        ParseLabUrl(broker.Url(QStringLiteral("lab/#")), TLabUrlUse::Subscribe, &error);
    if (!url)
        qFatal("%s", qPrintable(error));
    return *url;
}

QStringList texts(const QSignalSpy &spied)
{
    QStringList t;
    for (const QList<QVariant> &args : spied)
        t << args.at(0).value<TNotice>().Text;
    return t;
}

} // namespace

class TstWindowLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(state_.isValid());
        qputenv(StateHomeVariable, state_.path().toLocal8Bit());
        qRegisterMetaType<TNotice>();
    }

    // data: whether the broker is up when the window starts.
    void publishesWhatItRecords_data()
    {
        QTest::addColumn<bool>("brokerAtStart");
        QTest::newRow("broker up") << true;
        QTest::newRow("broker away at start") << false;
    }

    void publishesWhatItRecords()
    {
        QFETCH(bool, brokerAtStart);
        TMosquittoBroker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Log()));
        // The central side's persistent session exists first, so it gets what the broker
        // takes while it is away, as a lab's recorder would.
        TLabSubscriber central(subscribeUrl(broker), "tst-windowlab");
        QList<TLabReading> got;
        connect(&central, &TLabSubscriber::ReadingArrived, this,
                [&](const TLabReading &r) { got << r; });
        QVERIFY2(central.Start(), qPrintable(central.Error()));
        QTRY_VERIFY(central.IsConnected());
        QTRY_VERIFY(broker.Log().contains(QStringLiteral("SUBSCRIBE")));
        if (!brokerAtStart)
            broker.Stop();

        TStartOptions options;
        options.Mqtt = broker.Url(QStringLiteral("lab"));
        TfrmMain w(options);
        w.SetUnattended(true);
        QSignalSpy notices(&w, &TfrmMain::NoticeRaised);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const TRecordTable &table = w.Session()->Table();
        // The window's client publishes the meter's status once the broker has accepted it;
        // only from then on is a reading sent rather than queued (and told as queued).
        const QRegularExpression statusSent(
            QStringLiteral("Received PUBLISH from \\S+ \\(.*'lab/[^']*/status'"));
        if (brokerAtStart)
            QTRY_VERIFY(broker.Log().contains(statusSent));
        for (int v = 1000; v < 1003; ++v)
            receive(w, EncodeFrame(reading(v)));
        QCOMPARE(table.RecordCount(), 3);
        if (!brokerAtStart) {
            QTRY_COMPARE(texts(notices).size(), 1);
            QVERIFY2(texts(notices).at(0).contains(QStringLiteral("readings are queued")),
                     qPrintable(texts(notices).join('\n')));
            QVERIFY2(broker.Start(), qPrintable(broker.Log()));
        }
        for (int v = 1003; v < 1006; ++v)
            receive(w, EncodeFrame(reading(v)));
        QCOMPARE(table.RecordCount(), 6); // recording never waited for the bus

        QTRY_COMPARE_WITH_TIMEOUT(got.size(), 6, 40000);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(got[i].Number, i + 1);
            QCOMPARE(got[i].MainText, table.TextAt(i, TRecordTable::Field::aMValue));
            QCOMPARE(got[i].Serial, got[0].Serial);
        }
        QCOMPARE(central.Duplicates(), 0);
        // Told once each: queued, then flowing again; nothing with the broker up.
        const QStringList told = texts(notices);
        QCOMPARE(told.size(), brokerAtStart ? 0 : 2);
        if (!brokerAtStart)
            QVERIFY2(told.at(1).contains(QStringLiteral("reached again")),
                     qPrintable(told.join('\n')));
    }

private:
    QTemporaryDir state_;
};

QTEST_MAIN(TstWindowLab)
#include "tst_windowlab.moc"
