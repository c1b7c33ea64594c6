// The simulated meter's bench scene, read back through the program's own frame decoder.
#include "tframedecoder.h"
#include "virtualmeter.h"

#include <QTest>

namespace {

struct Shown
{
    int mainMode, mainUnit, mainStatus, subMode, subStatus, sorting, frequency;
    bool hold;
    QString mainText, subText;
};

// Decodes one loop of the scene, frame by frame, as the program would see it.
std::vector<Shown> playScene()
{
    TFrameDecoder decoder;
    decoder.SetDecimalSep(".");
    std::vector<Shown> shown;
    for (uint64_t k = 0; k < VirtualMeter::SceneFrames; ++k) {
        const std::vector<uint8_t> frame = VirtualMeter::frameAt(k);
        decoder.AppendReceived(frame.data(), qsizetype(frame.size()));
        decoder.ExtractFrame();
        const TMeterState &s = decoder.State();
        shown.push_back({s.MainMode, s.MainUnit, s.MainStatus, s.SubMode, s.SubStatus, s.Sorting,
                         s.Frequency, s.Hold, s.MainText, s.SubText});
    }
    return shown;
}

} // namespace

class TestVirtualMeter : public QObject
{
    Q_OBJECT

private slots:
    void everyFrameIsWellFormed();
    void phases_data();
    void phases();
    void probeLiftedShowsOverloadThenOpen();
    void holdIsPressedOnceAndFreezesTheReading();
    void sceneLoops();
};

void TestVirtualMeter::everyFrameIsWellFormed()
{
    TFrameDecoder decoder;
    for (uint64_t k = 0; k < VirtualMeter::SceneFrames; ++k) {
        const std::vector<uint8_t> frame = VirtualMeter::frameAt(k);
        QCOMPARE(frame.size(), size_t(17));
        decoder.AppendReceived(frame.data(), qsizetype(frame.size()));
        decoder.ExtractFrame();
        QVERIFY2(decoder.RxText().isEmpty(), qPrintable(QString("frame %1").arg(k)));
    }
}

void TestVirtualMeter::phases_data()
{
    QTest::addColumn<int>("mainMode");
    QTest::addColumn<int>("sorting");
    QTest::addColumn<int>("mainUnit");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<int>("subMode");
    QTest::addColumn<int>("subStatus");
    QTest::addColumn<double>("subLow");
    QTest::addColumn<double>("subHigh");
    QTest::addColumn<int>("minFrames");
    // unit ordinals: 2 kOhm, 5 uH, 10 nF
    QTest::newRow("capacitor 123.4 nF, D 0.012")
        << 2 << 0 << 10 << 123.3 << 123.5 << 1 << 0 << 0.011 << 0.013 << 20;
    QTest::newRow("inductor") << 1 << 0 << 5 << 469.0 << 471.0 << 2 << 0 << 5.5 << 6.5 << 10;
    QTest::newRow("resistor") << 3 << 0 << 2 << 4.69 << 4.71 << 4 << 0 << 0.0 << 0.1 << 10;
    QTest::newRow("resistor on DCR") << 4 << 0 << 2 << 4.69 << 4.71 << 0 << 1 << 0.0 << 0.0 << 10;
    QTest::newRow("sorting pass") << 2 << 5 << 10 << 99.0 << 101.0 << 1 << 7 << 0.0 << 0.0 << 10;
}

void TestVirtualMeter::phases()
{
    QFETCH(int, mainMode);
    QFETCH(int, sorting);
    QFETCH(int, mainUnit);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(int, subMode);
    QFETCH(int, subStatus);
    QFETCH(double, subLow);
    QFETCH(double, subHigh);
    QFETCH(int, minFrames);
    int frames = 0;
    for (const Shown &s : playScene()) {
        if (s.mainMode != mainMode || s.sorting != sorting || s.mainStatus != 0)
            continue;
        ++frames;
        QCOMPARE(s.frequency, 2); // 1 kHz
        QCOMPARE(s.mainUnit, mainUnit);
        const double value = s.mainText.toDouble();
        QVERIFY2(value >= low && value <= high, qPrintable(s.mainText));
        QCOMPARE(s.subMode, subMode);
        QCOMPARE(s.subStatus, subStatus);
        if (subStatus == 0) {
            const double sub = s.subText.toDouble();
            QVERIFY2(sub >= subLow && sub <= subHigh, qPrintable(s.subText));
        }
    }
    QVERIFY2(frames >= minFrames, qPrintable(QString::number(frames)));
}

void TestVirtualMeter::probeLiftedShowsOverloadThenOpen()
{
    const auto shown = playScene();
    const auto firstOl =
        std::find_if(shown.begin(), shown.end(), [](const Shown &s) { return s.mainStatus == 3; });
    const auto firstOpen =
        std::find_if(shown.begin(), shown.end(), [](const Shown &s) { return s.mainStatus == 9; });
    QVERIFY(firstOl != shown.end());
    QVERIFY(firstOpen != shown.end());
    QVERIFY(firstOl < firstOpen);
    const auto lifted = std::count_if(shown.begin(), shown.end(), [](const Shown &s) {
        return s.mainStatus == 3 || s.mainStatus == 9;
    });
    QVERIFY(lifted >= 2 && lifted <= 10); // a moment, not a phase of its own
}

void TestVirtualMeter::holdIsPressedOnceAndFreezesTheReading()
{
    const auto shown = playScene();
    int presses = 0;
    QString heldText;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (!shown[i].hold)
            continue;
        if (i == 0 || !shown[i - 1].hold) {
            ++presses;
            heldText = shown[i].mainText;
            QCOMPARE(heldText, shown[i - 1].mainText); // holds what was shown
        }
        QCOMPARE(shown[i].mainText, heldText);
    }
    QCOMPARE(presses, 1);
}

void TestVirtualMeter::sceneLoops()
{
    // The same session again; only the noise of the last digits differs.
    for (uint64_t k = 0; k < VirtualMeter::SceneFrames; ++k) {
        const TFrameFields a = VirtualMeter::fieldsAt(k);
        TFrameFields b = VirtualMeter::fieldsAt(k + VirtualMeter::SceneFrames);
        QVERIFY(std::abs(a.MainValue - b.MainValue) <= 4);
        QVERIFY(std::abs(a.SubValue - b.SubValue) <= 6);
        b.MainValue = a.MainValue;
        b.SubValue = a.SubValue;
        QCOMPARE(EncodeFrame(b), EncodeFrame(a));
    }
}

QTEST_GUILESS_MAIN(TestVirtualMeter)
#include "tst_virtualmeter.moc"
