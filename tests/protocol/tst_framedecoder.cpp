#include "../support/frames.h"

#include "formatreading.h"
#include "tframedecoder.h"
#include "tframeencoder.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <optional>

Q_DECLARE_METATYPE(TFrameFields)

namespace {

// The display parts by name, in the order of the flags.
QStringList partNames(TDisplayChanges changes)
{
    static const char *const names[] = {"Activity", "MainUnit",  "Hold",       "Relative",
                                        "Lcr",      "Auto",      "Battery",    "Frequency",
                                        "Sorting",  "MainMode",  "MainStatus", "SubMode",
                                        "SubUnit",  "SubStatus", "BarMax",     "MainText"};
    QStringList list;
    for (unsigned bit = 0; bit < std::size(names); ++bit)
        if (changes.testFlag(TDisplayPart(1u << bit)))
            list << QLatin1String(names[bit]);
    return list;
}

// Logs the refreshes each decoded frame asks for, in their order, so tests can check what is
// to be redrawn, how often and in which order.
class LogHooks : public TMeterHooks
{
public:
    QStringList log;
    int frames = 0;
    TDisplayChanges last;

    void FrameDecoded(const TMeterState &s, TDisplayChanges changes) override
    {
        ++frames;
        last = changes;
        for (const QString &part : partNames(changes)) {
            if (part == QLatin1String("MainStatus"))
                log << "ShowMainStatus:" + s.MainText;
            else if (part == QLatin1String("SubStatus"))
                log << "ShowSubStatus:" + s.SubText;
            else if (part == QLatin1String("BarMax"))
                log << QString("SetBarMax:%1").arg(FullScale(s.MainDecimals));
            else
                log << "Show" + part;
        }
    }

    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &e : log)
            n += e == prefix || e.startsWith(prefix + ':');
        return n;
    }
};

// Counts decodes only; cheap enough for thousands of random passes.
class CountingHooks : public TMeterHooks
{
public:
    int decodes = 0;
    void FrameDecoded(const TMeterState &, TDisplayChanges) override { ++decodes; }
};

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

void append(TFrameDecoder &d, const QByteArray &block)
{
    d.AppendReceived(reinterpret_cast<const std::uint8_t *>(block.constData()), block.size());
}

void feed(TFrameDecoder &d, const QByteArray &block)
{
    append(d, block);
    d.ExtractFrame();
}

QByteArray frameOf(int mainValue)
{
    TFrameFields f = workedFields();
    f.MainValue = mainValue;
    return EncodeFrame(f);
}

// The frame finder at its plainest: one trailer at a time from the start of the whole text,
// repeated until none is left; the last whole payload met is the one to decode.
struct PlainFinder
{
    QByteArray rx;

    std::optional<QByteArray> pass()
    {
        std::optional<QByteArray> newest;
        for (qsizetype p; (p = rx.indexOf("0D0A")) >= 0;) {
            if (!rx.startsWith("000D")) {
                rx.clear();
                break;
            }
            if (p == 30)
                newest = rx.mid(4, 26);
            rx.remove(0, p + 4);
        }
        return newest;
    }
};

} // namespace

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void formatReading_data();
    void formatReading();
    void fullScale();
    void readingToNumber_data();
    void readingToNumber();

    void workedFrame();
    void encoderWritesTheWorkedFrame();
    void fieldBits_data();
    void fieldBits();
    void randomFramesRoundTrip();

    void splitAtEveryByteBoundary();
    void severalFramesInOneBlockDecodeTheNewest_data();
    void severalFramesInOneBlockDecodeTheNewest();
    void passesMatchThePlainFrameFinder();
    void blockStartingMidFrameIsDiscarded();
    void payloadLengths_data();
    void payloadLengths();
    void trailerStraddlingBytesCutsTheFrame();

    void hookOrderOfTheWorkedFrame();
    void onChangeVersusEveryCallRefreshes();
    void subTextShortening_data();
    void subTextShortening();
    void decimalsWithoutMeaningKeepMainText();
    void commaSeparator();
    void changedParts_data();
    void changedParts();
    void unitCodesOutsideTheTable();
    void bufferStaysBoundedOnEveryStream_data();
    void bufferStaysBoundedOnEveryStream();
};

void TestFrameDecoder::formatReading_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("leadingZero");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("expected"); // null: no text

    QTest::newRow("0 dec") << 1234 << 0 << true << "."
                           << "1234";
    QTest::newRow("1 dec") << 1234 << 1 << true << "."
                           << "123.4";
    QTest::newRow("2 dec") << 1234 << 2 << true << "."
                           << "12.34";
    QTest::newRow("3 dec") << 1234 << 3 << true << "."
                           << "1.234";
    QTest::newRow("4 dec main") << 1234 << 4 << true << "."
                                << ".1234";
    QTest::newRow("4 dec sub") << 1234 << 4 << false << "."
                               << "0.1234";
    QTest::newRow("4 dec 5 digits") << 12345 << 4 << true << "."
                                    << "1.2345";
    QTest::newRow("4 dec 5 digits sub") << 12345 << 4 << false << "."
                                        << "1.2345";
    QTest::newRow("small 3 dec") << 5 << 3 << false << "."
                                 << "0.005";
    QTest::newRow("zero 2 dec") << 0 << 2 << true << "."
                                << "0.00";
    QTest::newRow("zero 0 dec") << 0 << 0 << true << "."
                                << "0";
    QTest::newRow("zero 4 dec main") << 0 << 4 << true << "."
                                     << ".0000";
    QTest::newRow("zero 1 dec") << 0 << 1 << false << "."
                                << "0.0";
    QTest::newRow("max 0 dec") << 65535 << 0 << true << "."
                               << "65535";
    QTest::newRow("max 1 dec") << 65535 << 1 << true << "."
                               << "6553.5";
    QTest::newRow("comma") << 1234 << 1 << true << ","
                           << "123,4";
    QTest::newRow("long sep") << 5 << 1 << true << "<>"
                              << "0<>5";
    QTest::newRow("4 dec long sep kept") << 1234 << 4 << true << "<>"
                                         << "0<>1234";
    QTest::newRow("dec 5") << 1234 << 5 << true << "." << QString();
    QTest::newRow("dec 6") << 1234 << 6 << false << "." << QString();
    QTest::newRow("dec 7") << 1234 << 7 << true << "." << QString();
}

void TestFrameDecoder::formatReading()
{
    QFETCH(int, value);
    QFETCH(int, decimals);
    QFETCH(bool, leadingZero);
    QFETCH(QString, sep);
    QFETCH(QString, expected);
    const auto text = FormatReading(value, decimals, leadingZero, sep);
    QCOMPARE(text.has_value(), !expected.isNull());
    if (text)
        QCOMPARE(*text, expected);
}

void TestFrameDecoder::fullScale()
{
    const int expected[] = {20000, 2000, 200, 20, 2, 0, 0, 0};
    for (int d = 0; d < 8; ++d)
        QCOMPARE(FullScale(d), expected[d]);
}

void TestFrameDecoder::readingToNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");

    QTest::newRow("dot") << "123.4"
                         << "." << true << 123.4;
    QTest::newRow("leading sep") << ".1234"
                                 << "." << true << 0.1234;
    QTest::newRow("comma") << "123,4"
                           << "," << true << 123.4;
    QTest::newRow("dot under comma locale") << "123.4"
                                            << "," << false << 0.0;
    QTest::newRow("integer") << "20000"
                             << "." << true << 20000.0;
    QTest::newRow("trailing sep") << "1234."
                                  << "." << true << 1234.0;
    QTest::newRow("status OL") << " OL  "
                               << "." << false << 0.0;
    QTest::newRow("dashes") << "- - - -"
                            << "." << false << 0.0;
    QTest::newRow("empty") << ""
                           << "." << false << 0.0;
    QTest::newRow("two seps") << "1.2.3"
                              << "." << false << 0.0;
}

void TestFrameDecoder::readingToNumber()
{
    QFETCH(QString, text);
    QFETCH(QString, sep);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto v = ReadingToNumber(text, sep);
    QCOMPARE(v.has_value(), ok);
    if (ok)
        QCOMPARE(*v, value);
}

void TestFrameDecoder::workedFrame()
{
    QCOMPARE(WorkedFrame.size(), 17);
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, WorkedFrame);

    const TMeterState &s = d.State();
    QVERIFY(s.Auto);
    QVERIFY(!s.Hold && !s.Relative && !s.Lcr && !s.Parallel);
    QCOMPARE(s.Battery, 3);
    QCOMPARE(s.Frequency, 2);
    QCOMPARE(s.Sorting, 0);
    QCOMPARE(s.MainMode, 2);
    QCOMPARE(s.MainValue, 1234);
    QCOMPARE(s.MainDecimals, 1);
    QCOMPARE(s.MainUnit, 10);
    QCOMPARE(s.MainStatus, 0);
    QCOMPARE(s.SubMode, 1);
    QCOMPARE(s.SubValue, 12);
    QCOMPARE(s.SubDecimals, 3);
    QCOMPARE(s.SubUnit, 0);
    QCOMPARE(s.SubStatus, 0);
    QCOMPARE(s.MainText, QStringLiteral("123.4"));
    QCOMPARE(s.SubText, QStringLiteral("0.012"));
    QVERIFY(d.RxText().isEmpty());
    QVERIFY(hooks.log.contains("SetBarMax:2000"));
}

void TestFrameDecoder::encoderWritesTheWorkedFrame()
{
    QCOMPARE(EncodeFrame(workedFields()).toHex(' '), WorkedFrame.toHex(' '));
}

void TestFrameDecoder::fieldBits_data()
{
    // Raw payload bytes, so a fault shared by the encoder and the decoder cannot hide here.
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");

    QTest::newRow("hold bit 0") << 0 << 0x01 << "Hold" << 1;
    QTest::newRow("relative bit 2") << 0 << 0x04 << "Relative" << 1;
    QTest::newRow("lcr bit 5") << 0 << 0x20 << "Lcr" << 1;
    QTest::newRow("auto bit 6") << 0 << 0x40 << "Auto" << 1;
    QTest::newRow("parallel bit 7") << 0 << 0x80 << "Parallel" << 1;
    QTest::newRow("byte 0 ignored bits: hold") << 0 << 0x1A << "Hold" << 0;
    QTest::newRow("byte 0 ignored bits: relative") << 0 << 0x1A << "Relative" << 0;
    QTest::newRow("byte 0 ignored bits: lcr") << 0 << 0x1A << "Lcr" << 0;
    QTest::newRow("battery bits 3-4") << 1 << 0x18 << "Battery" << 3;
    QTest::newRow("battery 1") << 1 << 0x08 << "Battery" << 1;
    QTest::newRow("battery ignores 0-2") << 1 << 0x07 << "Battery" << 0;
    QTest::newRow("frequency bits 5-7") << 1 << 0xE0 << "Frequency" << 7;
    QTest::newRow("frequency 4") << 1 << 0x80 << "Frequency" << 4;
    QTest::newRow("sorting bits 0-3") << 2 << 0xFA << "Sorting" << 10;
    QTest::newRow("main mode bits 0-2") << 3 << 0xFC << "MainMode" << 4;
    QTest::newRow("main value high byte") << 4 << 0xAB << "MainValue" << 0xAB00;
    QTest::newRow("main value low byte") << 5 << 0xCD << "MainValue" << 0xCD;
    QTest::newRow("main decimals bits 0-2") << 6 << 0x07 << "MainDecimals" << 7;
    QTest::newRow("main unit bits 3-7") << 6 << 0xF8 << "MainUnit" << 31;
    QTest::newRow("main status bits 0-4") << 7 << 0xEA << "MainStatus" << 10;
    QTest::newRow("main status ignores full-count") << 7 << 0x80 << "MainStatus" << 0;
    QTest::newRow("sub mode bits 0-2") << 8 << 0x0C << "SubMode" << 4;
    QTest::newRow("sub value high byte") << 9 << 0x30 << "SubValue" << 0x3000;
    QTest::newRow("sub value low byte") << 10 << 0x39 << "SubValue" << 0x39;
    QTest::newRow("sub decimals bits 0-2") << 11 << 0x72 << "SubDecimals" << 2;
    QTest::newRow("sub unit bits 3-7") << 11 << 0x72 << "SubUnit" << 14;
    QTest::newRow("sub status bits 0-4") << 12 << 0x83 << "SubStatus" << 3;
}

void TestFrameDecoder::fieldBits()
{
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(QString, field);
    QFETCH(int, expected);

    QByteArray payload(13, '\0');
    payload[index] = char(value);
    TFrameDecoder d;
    d.DecodeFrame(payload.toHex().toUpper());
    const TMeterState &s = d.State();
    const QHash<QString, int> fields = {
        {"Hold", s.Hold},
        {"Relative", s.Relative},
        {"Lcr", s.Lcr},
        {"Auto", s.Auto},
        {"Parallel", s.Parallel},
        {"Battery", s.Battery},
        {"Frequency", s.Frequency},
        {"Sorting", s.Sorting},
        {"MainMode", s.MainMode},
        {"MainValue", s.MainValue},
        {"MainDecimals", s.MainDecimals},
        {"MainUnit", s.MainUnit},
        {"MainStatus", s.MainStatus},
        {"SubMode", s.SubMode},
        {"SubValue", s.SubValue},
        {"SubDecimals", s.SubDecimals},
        {"SubUnit", s.SubUnit},
        {"SubStatus", s.SubStatus},
    };
    QVERIFY(fields.contains(field));
    QCOMPARE(fields.value(field), expected);
}

void TestFrameDecoder::randomFramesRoundTrip()
{
    QRandomGenerator rng(20261209);
    TFrameDecoder d;
    for (int i = 0; i < 2000; ++i) {
        TFrameFields f;
        f.Hold = rng.bounded(2);
        f.Relative = rng.bounded(2);
        f.Lcr = rng.bounded(2);
        f.Auto = rng.bounded(2);
        f.Parallel = rng.bounded(2);
        f.Battery = rng.bounded(4);
        f.Frequency = rng.bounded(8);
        f.Sorting = rng.bounded(16);
        f.MainMode = rng.bounded(8);
        f.MainValue = rng.bounded(65536);
        f.MainDecimals = rng.bounded(8);
        f.MainUnit = rng.bounded(32);
        f.MainStatus = rng.bounded(32);
        f.SubMode = rng.bounded(8);
        f.SubValue = rng.bounded(65536);
        f.SubDecimals = rng.bounded(8);
        f.SubUnit = rng.bounded(32);
        f.SubStatus = rng.bounded(32);
        feed(d, EncodeFrame(f));
        const TMeterState &s = d.State();
        QVERIFY(d.RxText().isEmpty());
        QCOMPARE(s.Hold, f.Hold);
        QCOMPARE(s.Relative, f.Relative);
        QCOMPARE(s.Lcr, f.Lcr);
        QCOMPARE(s.Auto, f.Auto);
        QCOMPARE(s.Parallel, f.Parallel);
        QCOMPARE(int(s.Battery), f.Battery);
        QCOMPARE(s.Frequency, f.Frequency);
        QCOMPARE(s.Sorting, f.Sorting);
        QCOMPARE(int(s.MainMode), f.MainMode);
        QCOMPARE(s.MainValue, f.MainValue);
        QCOMPARE(s.MainDecimals, f.MainDecimals);
        QCOMPARE(int(s.MainUnit), f.MainUnit);
        QCOMPARE(int(s.MainStatus), f.MainStatus);
        QCOMPARE(int(s.SubMode), f.SubMode);
        QCOMPARE(s.SubValue, f.SubValue);
        QCOMPARE(s.SubDecimals, f.SubDecimals);
        QCOMPARE(int(s.SubUnit), f.SubUnit);
        QCOMPARE(int(s.SubStatus), f.SubStatus);
        if (f.MainDecimals <= 4)
            QCOMPARE(s.MainText, *FormatReading(f.MainValue, f.MainDecimals, true, "."));
    }
}

void TestFrameDecoder::splitAtEveryByteBoundary()
{
    for (int cut = 1; cut < WorkedFrame.size(); ++cut) {
        LogHooks hooks;
        TFrameDecoder d(&hooks);
        feed(d, WorkedFrame.left(cut));
        QCOMPARE(hooks.count("ShowMainStatus"), 0);
        feed(d, WorkedFrame.mid(cut));
        QCOMPARE(hooks.count("ShowMainStatus"), 1);
        QCOMPARE(d.State().MainText, QStringLiteral("123.4"));
        QVERIFY2(d.RxText().isEmpty(), qPrintable(QString("cut at %1").arg(cut)));
    }
    // Three blocks of 5, 5 and 7 bytes: decoded when the trailer arrives.
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, WorkedFrame.mid(0, 5));
    feed(d, WorkedFrame.mid(5, 5));
    QCOMPARE(hooks.count("ShowMainStatus"), 0);
    feed(d, WorkedFrame.mid(10));
    QCOMPARE(hooks.count("ShowMainStatus"), 1);
    // Byte by byte, a pass after each: kept whole until the trailer.
    TFrameDecoder slow(&hooks);
    for (char c : WorkedFrame) {
        QCOMPARE(hooks.count("ShowMainStatus"), 1);
        feed(slow, QByteArray(1, c));
    }
    QCOMPARE(hooks.count("ShowMainStatus"), 2);
}

void TestFrameDecoder::severalFramesInOneBlockDecodeTheNewest_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("mainValue"); // of the one frame decoded; -1: none
    QTest::addColumn<int>("restChars");

    QTest::newRow("two frames") << frameOf(1234) + frameOf(999) << 999 << 0;
    QTest::newRow("five frames") << frameOf(1) + frameOf(2) + frameOf(3) + frameOf(4) + frameOf(5)
                                 << 5 << 0;
    QTest::newRow("partial frame after the last trailer waits")
        << frameOf(7) + frameOf(8) + frameOf(9).left(10) << 8 << 20;
    QTest::newRow("short payload after the newest frame")
        << frameOf(7) + frameOf(8) + bytes("000D0D0A") << 8 << 0;
    QTest::newRow("a stray start drops what follows, not the frame before it")
        << frameOf(7) + bytes("5555550D0A") + frameOf(9) << 7 << 0;
    QTest::newRow("cut frame between two whole ones")
        << frameOf(7) + frameOf(8).left(9) + frameOf(9) << 7 << 0;
}

// Frames that arrive together (a burst after a pause) must not leave the display behind.
void TestFrameDecoder::severalFramesInOneBlockDecodeTheNewest()
{
    QFETCH(QByteArray, block);
    QFETCH(int, mainValue);
    QFETCH(int, restChars);
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, block);
    QCOMPARE(hooks.count("ShowMainStatus"), mainValue < 0 ? 0 : 1);
    QCOMPARE(hooks.frames, mainValue < 0 ? 0 : 1);
    if (mainValue >= 0)
        QCOMPARE(d.State().MainValue, mainValue);
    QCOMPARE(d.RxText().size(), restChars);
    d.ExtractFrame(); // nothing whole left: no second decode
    QCOMPARE(hooks.count("ShowMainStatus"), mainValue < 0 ? 0 : 1);
}

void TestFrameDecoder::passesMatchThePlainFrameFinder()
{
    // Random streams of frames, cut frames, markers and noise, in random blocks, with passes
    // after some blocks only (as sampling ticks do): each pass must decode what the plain
    // finder names, and leave the same text waiting.
    QRandomGenerator rng(5150);
    for (int round = 0; round < 400; ++round) {
        QByteArray stream;
        for (int piece = int(rng.bounded(1, 30)); piece > 0; --piece) {
            const QByteArray frame = frameOf(int(rng.bounded(65536)));
            switch (rng.bounded(5)) {
            case 0:
                stream += frame.left(int(rng.bounded(1, 17)));
                break;
            case 1:
                stream += bytes(rng.bounded(3) == 0 ? "0D0A" : rng.bounded(2) ? "000D0A" : "000D");
                break;
            case 2: {
                QByteArray noise = frame;
                noise[int(rng.bounded(17))] = char(rng.bounded(256));
                stream += noise;
                break;
            }
            case 3:
                stream += bytes("10D0A0"); // a trailer straddling bytes
                break;
            default:
                stream += frame;
            }
        }
        CountingHooks hooks;
        TFrameDecoder d(&hooks);
        TFrameDecoder expectedState;
        PlainFinder plain;
        int decodes = 0;
        for (qsizetype at = 0; at < stream.size();) {
            const QByteArray block = stream.mid(at, qsizetype(rng.bounded(1, 40)));
            at += block.size();
            append(d, block);
            plain.rx += block.toHex().toUpper();
            if (rng.bounded(3) == 0 && at < stream.size())
                continue;
            d.ExtractFrame();
            if (const auto payload = plain.pass()) {
                expectedState.DecodeFrame(*payload);
                ++decodes;
            }
            const QString where = QString("round %1, byte %2").arg(round).arg(at);
            QVERIFY2(hooks.decodes == decodes, qPrintable(where));
            QVERIFY2(d.RxText() == plain.rx, qPrintable(where));
            QVERIFY2(d.State().MainValue == expectedState.State().MainValue, qPrintable(where));
            QVERIFY2(d.State().SubValue == expectedState.State().SubValue, qPrintable(where));
        }
    }
}

void TestFrameDecoder::blockStartingMidFrameIsDiscarded()
{
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, WorkedFrame.mid(6, 5));
    QCOMPARE(d.RxText().size(), 10); // no "0D0A" yet: kept
    feed(d, WorkedFrame.mid(11) + WorkedFrame);
    QCOMPARE(hooks.count("ShowMainStatus"), 0);
    QVERIFY(d.RxText().isEmpty()); // the whole buffer, the complete frame behind included
    feed(d, WorkedFrame);
    QCOMPARE(hooks.count("ShowMainStatus"), 1);
}

void TestFrameDecoder::payloadLengths_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("decoded");
    QTest::addColumn<QByteArray>("rest");

    QTest::newRow("trailer right after header") << bytes("000D0A") << 0 << QByteArray();
    QTest::newRow("empty payload") << bytes("000D0D0A") << 0 << QByteArray();
    QTest::newRow("12 payload bytes") << bytes("000D"
                                               "000000000000000000000000"
                                               "0D0A")
                                      << 0 << QByteArray();
    QTest::newRow("14 payload bytes") << bytes("000D"
                                               "0000000000000000000000000000"
                                               "0D0A")
                                      << 0 << QByteArray();
    QTest::newRow("13 payload bytes") << bytes("000D"
                                               "00000000000000000000000000"
                                               "0D0A")
                                      << 1 << QByteArray();
    QTest::newRow("rest kept") << bytes("000D0D0A"
                                        "000D12")
                               << 0 << QByteArray("000D12");
}

void TestFrameDecoder::payloadLengths()
{
    QFETCH(QByteArray, block);
    QFETCH(int, decoded);
    QFETCH(QByteArray, rest);
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, block);
    QCOMPARE(hooks.count("ShowMainStatus"), decoded);
    QCOMPARE(d.RxText().toByteArray(), rest);
}

void TestFrameDecoder::trailerStraddlingBytesCutsTheFrame()
{
    // Payload bytes 0x10 0xD0 0xA0 hold "0D0A" across byte boundaries: "10D0A0".
    QByteArray frame = EncodeFrame(workedFields());
    frame[2 + 4] = char(0x10);
    frame[2 + 5] = char(0xD0);
    frame[2 + 6] = char(0xA0);
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, frame);
    QCOMPARE(hooks.count("ShowMainStatus"), 0);
    // The tail of the cut frame fails the header check in the same pass and goes, so it cannot
    // take the next frame down with it.
    QVERIFY(d.RxText().isEmpty());
    feed(d, WorkedFrame);
    QCOMPARE(hooks.count("ShowMainStatus"), 1);
    QVERIFY(d.RxText().isEmpty());
}

void TestFrameDecoder::hookOrderOfTheWorkedFrame()
{
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, WorkedFrame);
    const QStringList expected = {
        "ShowMainUnit",         // unit 10 differs from 0
        "ShowAuto",             // every frame, after the flags
        "ShowBattery",          // 3
        "ShowFrequency",        // 2
        "ShowMainMode",         // every frame
        "ShowMainStatus:123.4", // every frame, with this frame's text
        "ShowSubMode",          // every frame
        "ShowSubStatus:0.012",  // every frame; sub unit 0 did not change
        "SetBarMax:2000",
    };
    QCOMPARE(hooks.log, expected);
    QCOMPARE(hooks.frames, 1);
}

void TestFrameDecoder::onChangeVersusEveryCallRefreshes()
{
    TFrameFields f = workedFields();
    f.Hold = f.Relative = f.Lcr = true;
    f.Sorting = 4;
    f.SubUnit = 13;
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, EncodeFrame(f));
    feed(d, EncodeFrame(f));
    feed(d, EncodeFrame(f));
    for (const char *onChange : {"ShowHold", "ShowRelative", "ShowLcr", "ShowBattery",
                                 "ShowFrequency", "ShowSorting", "ShowMainUnit", "ShowSubUnit"})
        QVERIFY2(hooks.count(onChange) == 1, onChange);
    for (const char *every : {"ShowAuto", "ShowMainMode", "ShowMainStatus", "ShowSubMode",
                              "ShowSubStatus", "SetBarMax"})
        QVERIFY2(hooks.count(every) == 3, every);

    // A first frame whose codes are all 0 triggers none of the on-change refreshes.
    LogHooks zero;
    TFrameDecoder fresh(&zero);
    feed(fresh, EncodeFrame(TFrameFields{}));
    for (const char *onChange :
         {"ShowHold", "ShowBattery", "ShowFrequency", "ShowSorting", "ShowMainUnit", "ShowSubUnit"})
        QVERIFY2(zero.count(onChange) == 0, onChange);
    QCOMPARE(zero.count("ShowMainStatus"), 1);
}

void TestFrameDecoder::subTextShortening_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");

    QTest::newRow("six chars, number") << 12345 << 1 << 0 << "1234.";
    QTest::newRow("six chars, dashes") << 12345 << 1 << 2 << "1234.5";
    QTest::newRow("five chars kept") << 1234 << 1 << 0 << "123.4";
    QTest::newRow("4 dec sub") << 1234 << 4 << 0 << "0.123";
    QTest::newRow("seven chars lose one only") << 65535 << 4 << 0 << "6.553";
}

void TestFrameDecoder::subTextShortening()
{
    QFETCH(int, value);
    QFETCH(int, decimals);
    QFETCH(int, status);
    QFETCH(QString, expected);
    TFrameFields f = workedFields();
    f.SubValue = value;
    f.SubDecimals = decimals;
    f.SubStatus = status;
    TFrameDecoder d;
    feed(d, EncodeFrame(f));
    QCOMPARE(d.State().SubText, expected);
    feed(d, EncodeFrame(f)); // the same frame again: shortened once per frame, not cumulatively
    QCOMPARE(d.State().SubText, expected);
}

void TestFrameDecoder::decimalsWithoutMeaningKeepMainText()
{
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    feed(d, WorkedFrame);
    TFrameFields f = workedFields();
    f.MainDecimals = 6;
    f.MainValue = 4321;
    f.SubDecimals = 5;
    f.SubValue = 77;
    hooks.log.clear();
    feed(d, EncodeFrame(f));
    QCOMPARE(d.State().MainText, QStringLiteral("123.4"));
    QCOMPARE(d.State().SubText, QStringLiteral("0.012"));
    QCOMPARE(d.State().MainDecimals, 6);
    QVERIFY(hooks.log.contains("SetBarMax:0"));
}

void TestFrameDecoder::commaSeparator()
{
    TFrameDecoder d;
    d.SetDecimalSep(",");
    feed(d, WorkedFrame);
    QCOMPARE(d.State().MainText, QStringLiteral("123,4"));
    QCOMPARE(d.State().SubText, QStringLiteral("0,012"));
    QCOMPARE(*ReadingToNumber(d.State().MainText, d.DecimalSep()), 123.4);
}

void TestFrameDecoder::changedParts_data()
{
    // The frame before (none: a fresh decoder, all codes 0) and the one whose changes are told.
    QTest::addColumn<QList<TFrameFields>>("before");
    QTest::addColumn<TFrameFields>("frame");
    QTest::addColumn<QStringList>("parts");

    const auto with = [](auto change) {
        TFrameFields f = workedFields();
        change(f);
        return f;
    };
    const QList<TFrameFields> worked{workedFields()};
    // What every frame redraws, whatever changed.
    const QStringList every{"Auto", "MainMode", "MainStatus", "SubMode", "SubStatus", "BarMax"};
    const auto plus = [&every](const QStringList &more) {
        QStringList all = more + every;
        static const QStringList order{
            "MainUnit", "Hold",     "Relative",   "Lcr",     "Auto",    "Battery",   "Frequency",
            "Sorting",  "MainMode", "MainStatus", "SubMode", "SubUnit", "SubStatus", "BarMax"};
        std::sort(all.begin(), all.end(), [](const QString &a, const QString &b) {
            return order.indexOf(a) < order.indexOf(b);
        });
        return all;
    };

    QTest::newRow("fresh, all codes 0") << QList<TFrameFields>{} << TFrameFields{} << every;
    QTest::newRow("fresh, worked frame")
        << QList<TFrameFields>{} << workedFields()
        << QStringList{"MainUnit",   "Auto",    "Battery",   "Frequency", "MainMode",
                       "MainStatus", "SubMode", "SubStatus", "BarMax"};
    QTest::newRow("same frame again") << worked << workedFields() << every;
    QTest::newRow("hold") << worked << with([](auto &f) { f.Hold = true; }) << plus({"Hold"});
    QTest::newRow("relative") << worked << with([](auto &f) { f.Relative = true; })
                              << plus({"Relative"});
    QTest::newRow("lcr") << worked << with([](auto &f) { f.Lcr = true; }) << plus({"Lcr"});
    QTest::newRow("auto bit alone: shown on every frame anyway")
        << worked << with([](auto &f) { f.Auto = false; }) << every;
    QTest::newRow("parallel alone: the captions are redrawn anyway")
        << worked << with([](auto &f) { f.Parallel = true; }) << every;
    QTest::newRow("battery") << worked << with([](auto &f) { f.Battery = 1; }) << plus({"Battery"});
    QTest::newRow("frequency") << worked << with([](auto &f) { f.Frequency = 0; })
                               << plus({"Frequency"});
    QTest::newRow("sorting") << worked << with([](auto &f) { f.Sorting = 5; }) << plus({"Sorting"});
    QTest::newRow("main unit") << worked << with([](auto &f) { f.MainUnit = 9; })
                               << plus({"MainUnit"});
    QTest::newRow("sub unit") << worked << with([](auto &f) { f.SubUnit = 13; })
                              << plus({"SubUnit"});
    QTest::newRow("reading, decimals and modes: every-frame parts only")
        << worked << with([](auto &f) {
               f.MainValue = 999, f.MainDecimals = 3, f.MainMode = 1, f.SubMode = 2;
               f.SubValue = 5, f.MainStatus = 3, f.SubStatus = 2;
           })
        << every;
    QTest::newRow("everything at once, in order")
        << worked << with([](auto &f) {
               f.Hold = f.Relative = f.Lcr = true;
               f.Battery = 0, f.Frequency = 4, f.Sorting = 10, f.MainUnit = 1, f.SubUnit = 14;
           })
        << plus({"MainUnit", "Hold", "Relative", "Lcr", "Battery", "Frequency", "Sorting",
                 "SubUnit"});
    QTest::newRow("back to the worked frame after a change")
        << QList<TFrameFields>{workedFields(), with([](auto &f) { f.Hold = true, f.Sorting = 3; })}
        << workedFields() << plus({"Hold", "Sorting"});
}

// A part that changed and is not told stays stale on the panel; one told that did not change
// costs a redraw per frame.
void TestFrameDecoder::changedParts()
{
    QFETCH(QList<TFrameFields>, before);
    QFETCH(TFrameFields, frame);
    QFETCH(QStringList, parts);
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    for (const TFrameFields &f : before)
        feed(d, EncodeFrame(f));
    feed(d, EncodeFrame(frame));
    QCOMPARE(hooks.frames, before.size() + 1);
    QCOMPARE(partNames(hooks.last), parts);
}

void TestFrameDecoder::unitCodesOutsideTheTable()
{
    for (int code = 0; code < 32; ++code)
        QCOMPARE(ToUnit(code).has_value(), code < UnitCount);
    QCOMPARE(*ToUnit(14), TUnit::udeg);
    TFrameFields f = workedFields();
    f.MainUnit = 31;
    f.SubUnit = 15;
    TFrameDecoder d;
    feed(d, EncodeFrame(f));
    QCOMPARE(d.State().MainUnit, 31);
    QCOMPARE(d.State().SubUnit, 15);
}

void TestFrameDecoder::bufferStaysBoundedOnEveryStream_data()
{
    QTest::addColumn<QByteArray>("pattern"); // repeated into one stream, cut into 2048-byte blocks
    QTest::addColumn<bool>("passEachBlock"); // false: the sampling interval holds passes back
    QTest::addColumn<bool>("decodesNextFrame");

    const QByteArray garbage(7, char(0x55));
    const QByteArray markers = bytes("000D0A");
    const QByteArray frames = frameOf(1) + frameOf(2) + frameOf(3);
    QByteArray cut = frameOf(4);
    cut[8] = char(0x0D); // a trailer inside the payload
    cut[9] = char(0x0A);
    QTest::newRow("garbage, a pass each block") << garbage << true << false;
    QTest::newRow("garbage, no passes") << garbage << false << false;
    QTest::newRow("00 0D 0A, a pass each block") << markers << true << true;
    QTest::newRow("00 0D 0A, no passes") << markers << false << true;
    QTest::newRow("frames, no passes") << frames << false << true;
    QTest::newRow("cut frames, a pass each block") << cut << true << true;
    QTest::newRow("cut frames, no passes") << cut << false << false; // the last drop cut mid-frame
}

void TestFrameDecoder::bufferStaysBoundedOnEveryStream()
{
    QFETCH(QByteArray, pattern);
    QFETCH(bool, passEachBlock);
    QFETCH(bool, decodesNextFrame);
    // 300 blocks, a whole number of patterns, so the stream ends on a pattern boundary.
    const qsizetype total = 300 * 2048 / pattern.size() * pattern.size();
    const QByteArray stream = pattern.repeated(total / pattern.size());
    LogHooks hooks;
    TFrameDecoder d(&hooks);
    qsizetype most = 0;
    for (qsizetype at = 0; at < stream.size(); at += 2048) {
        append(d, stream.mid(at, 2048));
        if (passEachBlock)
            d.ExtractFrame();
        most = std::max(most, d.RxText().size());
    }
    QVERIFY2(most <= TFrameDecoder::RxTextLimit, qPrintable(QString::number(most)));
    // Whatever came before, the link recovers: at once when the stream ended on a boundary the
    // finder can see, else after the one discard a stray start costs.
    const int before = hooks.count("ShowMainStatus");
    feed(d, frameOf(4321));
    if (!decodesNextFrame)
        feed(d, frameOf(4321));
    QCOMPARE(hooks.count("ShowMainStatus"), before + 1);
    QCOMPARE(d.State().MainValue, 4321);
    QVERIFY(d.RxText().isEmpty());
}

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
