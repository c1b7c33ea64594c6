// Runs under a German locale (set by the test registration): readings carry a decimal comma.
#include "tfrmmain.h"

#include <QtTest>

class TestMainWindowLocale : public QObject
{
    Q_OBJECT

private slots:
    void decimalCommaFromTheLocale()
    {
        QCOMPARE(ReadDecimalSep(), QStringLiteral(","));
        TfrmMain w;
        QCOMPARE(w.DecimalSep(), QStringLiteral(","));
        const QByteArray frame = QByteArray::fromHex("000D40580002 04D2 5100 01000C 0300 0D0A");
        w.CP21101ReceiveData(reinterpret_cast<const std::uint8_t *>(frame.constData()),
                             int(frame.size()));
        QCOMPARE(w.Decoder().State().MainText, QStringLiteral("123,4"));
        QCOMPARE(w.Decoder().State().SubText, QStringLiteral("0,012"));
    }
};

QTEST_MAIN(TestMainWindowLocale)
#include "tst_mainwindow_locale.moc"
