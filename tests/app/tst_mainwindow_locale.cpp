// Runs under a German locale (set by the test registration): readings carry a decimal comma.
#include "../support/frames.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tfrmmain.h"
#include "tlumetra.h"

#include <QtTest>

class TestMainWindowLocale : public QObject
{
    Q_OBJECT

private:
    TTemporaryStateHome state_;

private slots:
    void decimalCommaFromTheLocale()
    {
        QCOMPARE(SystemDecimalSep(), QStringLiteral(","));
        TfrmMain w;
        QCOMPARE(w.DecimalSep(), QStringLiteral(","));
        receive(w, WorkedFrame);
        QCOMPARE(w.Decoder().State().MainText, QStringLiteral("123,4"));
        QCOMPARE(w.Decoder().State().SubText, QStringLiteral("0,012"));
    }
};

QTEST_MAIN(TestMainWindowLocale)
#include "tst_mainwindow_locale.moc"
