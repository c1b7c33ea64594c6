#include "tdevicechoice.h"

#include <QtTest>

class TestDeviceChoice : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("bridge");
        QTest::newRow("hidraw path") << "A1=/dev/hidraw3#vid_10c4&pid_ea80" << true;
        QTest::newRow("windows path") << "A1=\\\\?\\hid#vid_10c4&pid_ea80#7&1a2b&0&0000#{4d1e55b2-"
                                         "f16f-11cf-88cb-001111000030}"
                                      << true;
        QTest::newRow("equals separators") << "A1=VID=10C4,PID=EA80" << true;
        QTest::newRow("mixed case") << "A1=Vid_10c4&PiD-Ea80" << true;
        QTest::newRow("other product") << "A1=/dev/hidraw1#vid_10c4&pid_ea60" << false;
        QTest::newRow("other vendor") << "A1=/dev/hidraw1#vid_10c5&pid_ea80" << false;
        QTest::newRow("no vid") << "A1=/dev/hidraw1#pid_ea80" << false;
        QTest::newRow("two separators") << "A1=vid__10c4&pid_ea80" << false;
        // Without "PID" the line's characters 4 to 7 are taken instead.
        QTest::newRow("no pid, chars 4-7 match") << "ABCEA80=vid_10c4" << true;
        QTest::newRow("no pid, chars 4-7 differ") << "ABCDEFG=vid_10c4" << false;
        QTest::newRow("ids in the name part") << "vid_10c4pid_ea80=/dev/hidraw2" << true;
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(bool, bridge);
        const QStringList serials = BridgeSerials({line});
        QCOMPARE(serials.size(), bridge ? 1 : 0);
        if (bridge)
            QCOMPARE(serials.first(), line.section('=', 0, 0));
    }

    void sortedWithoutRegardToCase()
    {
        const QStringList serials =
            BridgeSerials({"zeta=vid_10c4&pid_ea80", "Beta=vid_10c4&pid_ea80",
                           "alpha=vid_10c4&pid_ea80", "x=vid_0000&pid_ea80"});
        QCOMPARE(serials, (QStringList{"alpha", "Beta", "zeta"}));
    }
};

QTEST_GUILESS_MAIN(TestDeviceChoice)
#include "tst_devicechoice.moc"
