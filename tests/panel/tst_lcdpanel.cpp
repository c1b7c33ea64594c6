// The virtual LCD as a user sees it: real frames go into the main window's receive handler, and
// the panel's elements are read back by their object names.
#include "../support/frames.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "formatreading.h"
#include "tframedecoder.h"
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tlcdpanel.h"
#include "tsevensegment.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QtTest>

Q_DECLARE_METATYPE(TFrameFields)

namespace {

using Frames = QList<TFrameFields>;
using Texts = QMap<QString, QString>;

// The worked frame with some fields changed.
template<typename Change> TFrameFields with(Change change)
{
    TFrameFields f = workedFields();
    change(f);
    return f;
}

QString shownText(const QWidget *w)
{
    if (const auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (const auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    return QStringLiteral("<no text>");
}

// The box around the dark pixels of a picture; empty when nothing is drawn.
QRect inkBounds(const QImage &img)
{
    QRect ink;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) < 100)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

// Forwards the decoder to a bare panel and keeps the value each frame hands to the chart, which
// the main window passes on to a chart that is not part of this test.
class PanelRig : public TMeterHooks
{
public:
    explicit PanelRig(const QString &sep)
        : Sep(sep)
    {
        Panel.FillUnitLabels();
        Decoder.SetDecimalSep(sep);
    }
    void feed(const TFrameFields &f)
    {
        const QByteArray b = EncodeFrame(f);
        Decoder.AppendReceived(reinterpret_cast<const std::uint8_t *>(b.constData()), b.size());
        Decoder.ExtractFrame();
    }
    void FrameDecoded(const TMeterState &s, TDisplayChanges changes) override
    {
        Panel.ShowDisplay(s, changes & (TDisplayPart::MainStatus | TDisplayPart::BarMax), Sep);
        ChartValues << PlottedValue(s, Sep);
    }

    QString Sep;
    TLcdPanel Panel;
    TFrameDecoder Decoder{this};
    QList<double> ChartValues;
};

} // namespace

class TestLcdPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startLook_data();
    void startLook();
    void look();
    void frames_data();
    void frames();
    void statusTexts_data();
    void statusTexts();
    void barShowsShareOfRange_data();
    void barShowsShareOfRange();
    void chartValue_data();
    void chartValue();
    void activityPicturesAlternatePerBlock();
    void readingBoxesPassFocusOn_data();
    void readingBoxesPassFocusOn();
    void readingTextsFitTheirBox_data();
    void readingTextsFitTheirBox();
    void paintedSegmentsTellTextsApart();

private:
    TTemporaryStateHome state_; // the windows keep their journals here
    QWidget *child(const QString &name) const;
    // Readings carry the system's decimal separator; the tables are written with ".".
    QString inLocale(const QString &text, const QWidget *element) const;
    void feed(const Frames &frames);

    TfrmMain *w = nullptr;
};

void TestLcdPanel::init()
{
    w = new TfrmMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestLcdPanel::cleanup()
{
    delete w;
    w = nullptr;
}

QWidget *TestLcdPanel::child(const QString &name) const
{
    auto *c = w->pnlLcd->findChild<QWidget *>(name);
    if (!c)
        qWarning("no panel element %s", qPrintable(name));
    return c;
}

QString TestLcdPanel::inLocale(const QString &text, const QWidget *element) const
{
    if (element && !qobject_cast<const QLineEdit *>(element))
        return text;
    QString t = text;
    return t.replace(QLatin1Char('.'), w->DecimalSep());
}

void TestLcdPanel::feed(const Frames &frames)
{
    for (const TFrameFields &f : frames)
        receive(*w, EncodeFrame(f));
}

void TestLcdPanel::startLook_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, bool visible, const QString &text = QString()) {
        QTest::newRow(name) << QString::fromLatin1(name) << visible << text;
    };
    row("CONokN", true, QStringLiteral("<no text>"));
    row("CONok", false, QStringLiteral("<no text>"));
    row("lcdHold", false, QStringLiteral("HOLD"));
    row("lcdAuto", false, QStringLiteral("Auto"));
    row("lcdLCR", false, QStringLiteral("LCR"));
    row("lcdRel", false, QStringLiteral("\u0394"));
    row("lcdMMode", true);
    row("lcdMDisp", true);
    row("lcdMUnit", true);
    row("lcdSorting", false, QStringLiteral("Sorting"));
    row("lcdTol", false, QStringLiteral("Tol"));
    row("lcdJianhao", false, QStringLiteral("+"));
    row("lcdJiahao", false, QStringLiteral("-"));
    row("lcdSortp", false, QStringLiteral("0.25%"));
    row("lcdSMod", true);
    row("lcdSDisp", true);
    row("lcdSUnit", true);
    row("lcdBat3", false, QStringLiteral("__"));
    row("lcdBat2", false, QStringLiteral("__"));
    row("lcdBat1", false, QStringLiteral("__"));
    row("lcdRS232", false, QStringLiteral("USB"));
    row("lcdBat0", true, QStringLiteral("<no text>"));
    row("lcdFREQ", false, QStringLiteral("100 Hz"));
    row("pnlBar", true, QStringLiteral("<no text>"));
}

void TestLcdPanel::startLook()
{
    QFETCH(QString, name);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    QWidget *c = child(name);
    QVERIFY(c);
    QCOMPARE(c->isVisible(), visible);
    QCOMPARE(shownText(c), text);
    const auto *bar = w->pnlLcd->findChild<QProgressBar *>(QStringLiteral("lcdBar"));
    QVERIFY(bar);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
}

void TestLcdPanel::look()
{
    // The panel fills its place in the window, as the layout was drawn for.
    QCOMPARE(w->pnlLcd->size(), QSize(453, 245));
    const auto *hold = qobject_cast<QLabel *>(child(QStringLiteral("lcdHold")));
    QVERIFY(hold);
    const QFontInfo info(hold->font());
    QVERIFY2(info.family() == QLatin1String("Arial")
                 || info.family() == QLatin1String("Liberation Sans"),
             qPrintable(info.family()));
    QCOMPARE(info.pixelSize(), 12);
    QVERIFY(info.bold());
    QCOMPARE(child(QStringLiteral("lcdMDisp"))->font().pixelSize(), 71);
    QCOMPARE(child(QStringLiteral("lcdSDisp"))->font().pixelSize(), 37);
    const QColor sky(166, 202, 240);
    QCOMPARE(child(QStringLiteral("lcdMDisp"))->palette().color(QPalette::Base), sky);
    QCOMPARE(child(QStringLiteral("lcdSDisp"))->palette().color(QPalette::Base), sky);
    QCOMPARE(w->pnlLcd->palette().color(QPalette::Window), QColor(Qt::white));
    for (const char *name : {"lcdMDisp", "lcdSDisp"}) {
        const auto *box = qobject_cast<QLineEdit *>(child(QLatin1String(name)));
        QVERIFY(box);
        QVERIFY(box->isReadOnly());
        QVERIFY(!box->hasFrame());
        QVERIFY(box->alignment() & Qt::AlignRight);
        QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);
    }
    // A label that paints its own background would cover the white panel with grey.
    QVERIFY(!hold->autoFillBackground());
}

void TestLcdPanel::frames_data()
{
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<Texts>("texts");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");

    const TFrameFields w0 = workedFields();
    QTest::newRow("worked frame")
        << Frames{w0}
        << Texts{{"lcdMMode", "Cs"},    {"lcdMDisp", "123.4"}, {"lcdMUnit", "nF"}, {"lcdSMod", "D"},
                 {"lcdSDisp", "0.012"}, {"lcdSUnit", ""},      {"lcdFREQ", "1KHz"}}
        << QStringList{"lcdAuto", "lcdBat1", "lcdBat2", "lcdBat3", "lcdFREQ", "pnlBar", "lcdSDisp"}
        << QStringList{"lcdLCR", "lcdHold", "lcdRel", "lcdSorting", "lcdTol", "lcdSortp"};
    QTest::newRow("flags: LCR brings Auto")
        << Frames{with([](auto &f) { f.Auto = false, f.Lcr = true, f.Hold = true; })} << Texts{}
        << QStringList{"lcdLCR", "lcdAuto", "lcdHold"} << QStringList{"lcdRel"};
    QTest::newRow("flags: cleared again")
        << Frames{with([](auto &f) { f.Lcr = true, f.Hold = true, f.Relative = true; }),
                  with([](auto &f) { f.Auto = false; })}
        << Texts{} << QStringList{} << QStringList{"lcdLCR", "lcdAuto", "lcdHold", "lcdRel"};
    QTest::newRow("relative") << Frames{with([](auto &f) { f.Relative = true; })} << Texts{}
                              << QStringList{"lcdRel"} << QStringList{};
    QTest::newRow("battery 1") << Frames{with([](auto &f) { f.Battery = 1; })} << Texts{}
                               << QStringList{"lcdBat1", "lcdBat0"}
                               << QStringList{"lcdBat2", "lcdBat3"};
    QTest::newRow("battery 3 then 0")
        << Frames{w0, with([](auto &f) { f.Battery = 0; })} << Texts{} << QStringList{"lcdBat0"}
        << QStringList{"lcdBat1", "lcdBat2", "lcdBat3"};

    QTest::newRow("DCR hides the frequency") << Frames{w0, with([](auto &f) { f.MainMode = 4; })}
                                             << Texts{{"lcdMMode", "DCR"}, {"lcdFREQ", "1KHz"}}
                                             << QStringList{} << QStringList{"lcdFREQ"};
    QTest::newRow("after DCR the frequency returns")
        << Frames{w0, with([](auto &f) { f.MainMode = 4; }), with([](auto &f) { f.MainMode = 1; })}
        << Texts{{"lcdMMode", "Ls"}, {"lcdFREQ", "1KHz"}} << QStringList{"lcdFREQ"}
        << QStringList{};
    QTest::newRow("parallel C: Cp and Rp")
        << Frames{with([](auto &f) { f.Parallel = true, f.SubMode = 3; })}
        << Texts{{"lcdMMode", "Cp"}, {"lcdSMod", "Rp"}} << QStringList{} << QStringList{};
    QTest::newRow("series C: Cs and ESR")
        << Frames{with([](auto &f) { f.Parallel = true, f.SubMode = 3; }),
                  with([](auto &f) { f.SubMode = 3; })}
        << Texts{{"lcdMMode", "Cs"}, {"lcdSMod", "ESR"}} << QStringList{} << QStringList{};
    QTest::newRow("parallel L and R")
        << Frames{with([](auto &f) { f.Parallel = true, f.MainMode = 1, f.SubMode = 2; }),
                  with([](auto &f) { f.Parallel = true, f.MainMode = 3, f.SubMode = 4; })}
        << Texts{{"lcdMMode", "Rp"}, {"lcdSMod", "\u03B8"}} << QStringList{} << QStringList{};
    QTest::newRow("series L, Q") << Frames{with([](auto &f) { f.MainMode = 1, f.SubMode = 2; })}
                                 << Texts{{"lcdMMode", "Ls"}, {"lcdSMod", "Q"}} << QStringList{}
                                 << QStringList{};
    QTest::newRow("modes 0 clear the captions")
        << Frames{w0, with([](auto &f) { f.MainMode = 0, f.SubMode = 0; })}
        << Texts{{"lcdMMode", ""}, {"lcdSMod", ""}} << QStringList{"lcdFREQ"} << QStringList{};
    QTest::newRow("modes 5-7 keep the captions")
        << Frames{w0, with([](auto &f) { f.MainMode = 7, f.SubMode = 5; })}
        << Texts{{"lcdMMode", "Cs"}, {"lcdSMod", "D"}} << QStringList{} << QStringList{};

    QTest::newRow("sorting 10") << Frames{with([](auto &f) {
        f.Sorting = 10;
    })} << Texts{{"lcdSorting", "Sorting"}, {"lcdTol", "Tol"}, {"lcdSortp", "-20% +80%"}}
                                << QStringList{"lcdSorting", "lcdTol", "lcdSortp"}
                                << QStringList{"lcdJianhao", "lcdJiahao", "pnlBar"};
    QTest::newRow("sorting 10 then 3")
        << Frames{with([](auto &f) { f.Sorting = 10; }), with([](auto &f) { f.Sorting = 3; })}
        << Texts{{"lcdSortp", "0.25%"}}
        << QStringList{"lcdSorting", "lcdTol", "lcdSortp", "lcdJianhao", "lcdJiahao"}
        << QStringList{"pnlBar"};
    QTest::newRow("sorting 10, 3, 0")
        << Frames{with([](auto &f) { f.Sorting = 10; }), with([](auto &f) { f.Sorting = 3; }),
                  with([](auto &f) { f.Sorting = 0; })}
        << Texts{} << QStringList{"pnlBar"}
        << QStringList{"lcdSorting", "lcdTol", "lcdSortp", "lcdJianhao", "lcdJiahao"};
    QTest::newRow("sorting 1 keeps the last tolerance")
        << Frames{with([](auto &f) { f.Sorting = 8; }), with([](auto &f) { f.Sorting = 1; })}
        << Texts{{"lcdSortp", "10.0%"}} << QStringList{"lcdSortp", "lcdJianhao"}
        << QStringList{"pnlBar"};

    QTest::newRow("unit 14: deg on the main, U+309C on the secondary")
        << Frames{with([](auto &f) { f.MainUnit = 14, f.SubUnit = 14; })}
        << Texts{{"lcdMUnit", "deg"}, {"lcdSUnit", "\u309C"}} << QStringList{} << QStringList{};
    QTest::newRow("ohm units") << Frames{with([](auto &f) { f.MainUnit = 2, f.SubUnit = 1; })}
                               << Texts{{"lcdMUnit", "K\u03A9"}, {"lcdSUnit", "\u03A9"}}
                               << QStringList{} << QStringList{};
    QTest::newRow("unit codes 15 and 31 show no unit")
        << Frames{with([](auto &f) { f.SubUnit = 13; }),
                  with([](auto &f) { f.MainUnit = 15, f.SubUnit = 31; })}
        << Texts{{"lcdMUnit", ""}, {"lcdSUnit", ""}} << QStringList{} << QStringList{};
    QTest::newRow("unit code 31 after 14")
        << Frames{with([](auto &f) { f.MainUnit = 14, f.SubUnit = 14; }),
                  with([](auto &f) { f.MainUnit = 31, f.SubUnit = 15; })}
        << Texts{{"lcdMUnit", ""}, {"lcdSUnit", ""}} << QStringList{} << QStringList{};

    const auto freq = [](int code) { return with([code](auto &f) { f.Frequency = code; }); };
    QTest::newRow("frequency 0 first keeps \"100 Hz\"")
        << Frames{freq(0)} << Texts{{"lcdFREQ", "100 Hz"}} << QStringList{"lcdFREQ"}
        << QStringList{};
    QTest::newRow("frequency 0, 1") << Frames{freq(0), freq(1)} << Texts{{"lcdFREQ", "120Hz"}}
                                    << QStringList{} << QStringList{};
    QTest::newRow("frequency 0, 1, 0")
        << Frames{freq(0), freq(1), freq(0)} << Texts{{"lcdFREQ", "100Hz"}} << QStringList{}
        << QStringList{};
    QTest::newRow("frequency 3, 4, 6")
        << Frames{freq(3), freq(4), freq(6)} << Texts{{"lcdFREQ", "100KHz"}} << QStringList{}
        << QStringList{};
    QTest::newRow("frequency 3") << Frames{freq(3)} << Texts{{"lcdFREQ", "10KHz"}} << QStringList{}
                                 << QStringList{};

    QTest::newRow("secondary hidden by status 1")
        << Frames{w0, with([](auto &f) { f.SubStatus = 1; })} << Texts{{"lcdSDisp", ""}}
        << QStringList{} << QStringList{"lcdSDisp"};
    QTest::newRow("secondary hidden by 5, back with 0")
        << Frames{with([](auto &f) { f.SubStatus = 5; }), w0} << Texts{{"lcdSDisp", "0.012"}}
        << QStringList{"lcdSDisp"} << QStringList{};
    QTest::newRow("secondary hidden by 1, back with 11")
        << Frames{with([](auto &f) { f.SubStatus = 1; }), with([](auto &f) { f.SubStatus = 11; })}
        << Texts{{"lcdSDisp", ""}} << QStringList{"lcdSDisp"} << QStringList{};
    QTest::newRow("long secondary reading loses its last character")
        << Frames{with([](auto &f) { f.SubValue = 12345, f.SubDecimals = 1; })}
        << Texts{{"lcdSDisp", "1234."}} << QStringList{} << QStringList{};
}

void TestLcdPanel::frames()
{
    QFETCH(Frames, frames);
    QFETCH(Texts, texts);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    feed(frames);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        const QWidget *c = child(it.key());
        QVERIFY(c);
        const QString expected = inLocale(it.value(), c);
        QVERIFY2(shownText(c) == expected,
                 qPrintable(QStringLiteral("%1 shows \"%2\", expected \"%3\"")
                                .arg(it.key(), shownText(c), expected)));
    }
    for (const QString &name : shown) {
        QVERIFY(child(name));
        QVERIFY2(child(name)->isVisible(), qPrintable(name + QStringLiteral(" hidden")));
    }
    for (const QString &name : hidden) {
        QVERIFY(child(name));
        QVERIFY2(!child(name)->isVisible(), qPrintable(name + QStringLiteral(" shown")));
    }
}

void TestLcdPanel::statusTexts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mainText");
    QTest::addColumn<QString>("subText");
    QTest::addColumn<bool>("subVisible");

    QTest::newRow("0 number") << 0 << "123.4"
                              << "0.012" << true;
    QTest::newRow("1 blank") << 1 << ""
                             << "" << false;
    QTest::newRow("2 dashes") << 2 << "- - - -"
                              << "- - - -" << true;
    QTest::newRow("3 overload") << 3 << " OL  "
                                << "  0L  " << true;
    QTest::newRow("4 OFF") << 4 << "OFF   "
                           << "OFF  " << true;
    QTest::newRow("5 blank") << 5 << ""
                             << "" << false;
    QTest::newRow("6 ERR") << 6 << "ERR   "
                           << "ERR  " << true;
    QTest::newRow("7 PASS") << 7 << "PASS  "
                            << "PASS  " << true;
    QTest::newRow("8 FAIL") << 8 << "FAIL  "
                            << "FAIL  " << true;
    QTest::newRow("9 OPEN") << 9 << "OPEN  "
                            << "OPEN  " << true;
    QTest::newRow("10 SHORT") << 10 << "SHORT "
                              << "SHORT " << true;
    // Meaningless codes leave the previous text (here the dashes) on show.
    QTest::newRow("11 unchanged") << 11 << "- - - -"
                                  << "- - - -" << true;
    QTest::newRow("31 unchanged") << 31 << "- - - -"
                                  << "- - - -" << true;
}

void TestLcdPanel::statusTexts()
{
    QFETCH(int, status);
    QFETCH(QString, mainText);
    QFETCH(QString, subText);
    QFETCH(bool, subVisible);
    feed({with([](auto &f) { f.MainStatus = 2, f.SubStatus = 2; }),
          with([status](auto &f) { f.MainStatus = status, f.SubStatus = status; })});
    QCOMPARE(shownText(child(QStringLiteral("lcdMDisp"))), inLocale(mainText, nullptr));
    QCOMPARE(shownText(child(QStringLiteral("lcdSDisp"))), inLocale(subText, nullptr));
    QCOMPARE(child(QStringLiteral("lcdSDisp"))->isVisible(), subVisible);
}

void TestLcdPanel::barShowsShareOfRange_data()
{
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<double>("percent");

    QTest::newRow("123.4 of 2000") << Frames{workedFields()} << 6.17;
    QTest::newRow("OL with decimals 2 fills the bar")
        << Frames{with([](auto &f) { f.MainStatus = 3, f.MainDecimals = 2; })} << 100.0;
    QTest::newRow("OFF empties the bar")
        << Frames{workedFields(), with([](auto &f) { f.MainStatus = 4; })} << 0.0;
    QTest::newRow("dashes empty the bar")
        << Frames{workedFields(), with([](auto &f) { f.MainStatus = 2; })} << 0.0;
    QTest::newRow("meaningless status empties the bar")
        << Frames{workedFields(), with([](auto &f) { f.MainStatus = 20; })} << 0.0;
    QTest::newRow("1.2345 of 2") << Frames{with([](auto &f) {
        f.MainValue = 12345, f.MainDecimals = 4;
    })} << 61.725;
    QTest::newRow("19999 of 20000")
        << Frames{with([](auto &f) { f.MainValue = 19999, f.MainDecimals = 0; })} << 99.995;
    // The range of the new frame counts at once, not the previous frame's.
    QTest::newRow("range grows: 1500.0 of 2000 after 1.000 of 20")
        << Frames{with([](auto &f) { f.MainValue = 1000, f.MainDecimals = 3; }),
                  with([](auto &f) { f.MainValue = 15000, f.MainDecimals = 1; })}
        << 75.0;
    QTest::newRow("range shrinks: 0.500 of 20 after OL of 20000")
        << Frames{with([](auto &f) { f.MainStatus = 3, f.MainDecimals = 0; }),
                  with([](auto &f) { f.MainValue = 500, f.MainDecimals = 3; })}
        << 2.5;
    QTest::newRow("over the full scale stays full, never stale")
        << Frames{workedFields(), with([](auto &f) { f.MainValue = 65535, f.MainDecimals = 0; })}
        << 100.0;
    QTest::newRow("decimals 5: no range, empty bar")
        << Frames{workedFields(), with([](auto &f) { f.MainDecimals = 5; })} << 0.0;
}

void TestLcdPanel::barShowsShareOfRange()
{
    QFETCH(Frames, frames);
    QFETCH(double, percent);
    feed(frames);
    const auto *bar = w->pnlLcd->findChild<QProgressBar *>(QStringLiteral("lcdBar"));
    QVERIFY(bar);
    // A 0..0 range would make the bar a busy indicator instead of an empty bar.
    QVERIFY(bar->maximum() > bar->minimum());
    const double shown =
        100.0 * (bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum());
    QVERIFY2(qAbs(shown - percent) < 0.001,
             qPrintable(QStringLiteral("bar at %1 %, expected %2 %").arg(shown).arg(percent)));
}

void TestLcdPanel::chartValue_data()
{
    QTest::addColumn<QString>("sep");
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<double>("value");

    QTest::newRow("worked frame") << "." << Frames{workedFields()} << 123.4;
    QTest::newRow("decimal comma") << "," << Frames{workedFields()} << 123.4;
    QTest::newRow("main .1234") << "." << Frames{with([](auto &f) { f.MainDecimals = 4; })}
                                << 0.1234;
    QTest::newRow("OL with decimals 2 plots the full scale")
        << "." << Frames{with([](auto &f) { f.MainStatus = 3, f.MainDecimals = 2; })} << 200.0;
    QTest::newRow("OL with decimals 0")
        << "." << Frames{with([](auto &f) { f.MainStatus = 3, f.MainDecimals = 0; })} << 20000.0;
    QTest::newRow("OL with decimals 6 plots 0")
        << "." << Frames{with([](auto &f) { f.MainStatus = 3, f.MainDecimals = 6; })} << 0.0;
    QTest::newRow("OFF plots 0") << "." << Frames{with([](auto &f) { f.MainStatus = 4; })} << 0.0;
    QTest::newRow("ERR plots 0") << "." << Frames{with([](auto &f) { f.MainStatus = 6; })} << 0.0;
    QTest::newRow("decimals 5 keeps the last text")
        << "." << Frames{workedFields(), with([](auto &f) { f.MainValue = 9, f.MainDecimals = 5; })}
        << 123.4;
    QTest::newRow("decimals 5 before any text plots 0")
        << "." << Frames{with([](auto &f) { f.MainDecimals = 5; })} << 0.0;
}

void TestLcdPanel::chartValue()
{
    QFETCH(QString, sep);
    QFETCH(Frames, frames);
    QFETCH(double, value);
    PanelRig rig(sep);
    for (const TFrameFields &f : frames)
        rig.feed(f);
    // Every frame adds exactly one point, whatever it shows.
    QCOMPARE(rig.ChartValues.size(), frames.size());
    QCOMPARE(rig.ChartValues.last(), value);
}

void TestLcdPanel::activityPicturesAlternatePerBlock()
{
    QWidget *lit = child(QStringLiteral("CONok"));
    QWidget *dark = child(QStringLiteral("CONokN"));
    QVERIFY(lit && dark);
    const QByteArray frame = EncodeFrame(workedFields());
    // One frame in three blocks: every block blinks, also those that complete no frame.
    const QList<QByteArray> blocks = {frame.left(5), frame.mid(5, 5), frame.mid(10), frame,
                                      QByteArray("\x01", 1)};
    bool litNow = false;
    for (const QByteArray &b : blocks) {
        receive(*w, b);
        litNow = !litNow;
        QCOMPARE(lit->isVisible(), litNow);
        QCOMPARE(dark->isVisible(), !litNow);
    }
}

void TestLcdPanel::readingBoxesPassFocusOn_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("byTab");

    QTest::newRow("click into lcdMDisp") << "lcdMDisp" << false;
    QTest::newRow("click into lcdSDisp") << "lcdSDisp" << false;
    QTest::newRow("tab into lcdMDisp") << "lcdMDisp" << true;
}

void TestLcdPanel::readingBoxesPassFocusOn()
{
    QFETCH(QString, box);
    QFETCH(bool, byTab);
    feed({workedFields()});
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *target = qobject_cast<QLineEdit *>(child(box));
    QVERIFY(target);
    const QImage before = target->grab().toImage();

    if (byTab) {
        // Tab from the control just before the panel in tab order.
        QWidget *prev = target->previousInFocusChain();
        while (prev
               && !((prev->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && prev->isVisible()
                    && prev->isEnabled()))
            prev = prev->previousInFocusChain();
        QVERIFY(prev && prev != target);
        prev->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(prev, Qt::Key_Tab);
    } else {
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(20, target->height() / 2));
    }

    QWidget *now = QApplication::focusWidget();
    QVERIFY(now);
    QVERIFY2(now->objectName() != QLatin1String("lcdMDisp")
                 && now->objectName() != QLatin1String("lcdSDisp"),
             qPrintable(now->objectName()));
    QVERIFY(!w->pnlLcd->isAncestorOf(now));
    QVERIFY((now->focusPolicy() & Qt::TabFocus) == Qt::TabFocus);
    // No caret or selection is left behind in the reading.
    QCOMPARE(target->grab().toImage(), before);
}

void TestLcdPanel::readingTextsFitTheirBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");

    const QStringList texts = {"19999",  "1.2345", "1,2345", ".1234",  "- - - -",
                               " OL  ",  "  0L  ", "OFF   ", "ERR   ", "PASS  ",
                               "FAIL  ", "OPEN  ", "SHORT ", "1234.",  "1234,"};
    for (const char *box : {"lcdMDisp", "lcdSDisp"}) {
        for (const QString &t : texts)
            QTest::addRow("%s \"%s\"", box, qPrintable(t)) << QString::fromLatin1(box) << t;
    }
}

void TestLcdPanel::readingTextsFitTheirBox()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    auto *target = qobject_cast<QLineEdit *>(child(box));
    QVERIFY(target);
    target->setText(text);
    const QImage img = target->grab().toImage();
    const QRect ink = inkBounds(img);
    QVERIFY2(!ink.isEmpty(), "nothing drawn");
    // Ink touching an edge means the reading was cut off.
    QVERIFY2(
        ink.left() > 0 && ink.right() < img.width() - 1,
        qPrintable(
            QStringLiteral("ink %1..%2 of %3").arg(ink.left()).arg(ink.right()).arg(img.width())));
    QVERIFY2(
        ink.top() > 0 && ink.bottom() < img.height() - 1,
        qPrintable(
            QStringLiteral("ink %1..%2 of %3").arg(ink.top()).arg(ink.bottom()).arg(img.height())));
    // Right-aligned: the last cell ends near the right edge, not in the middle.
    if (!text.endsWith(QLatin1Char(' ')))
        QVERIFY2(img.width() - 1 - ink.right() < img.width() / 10,
                 qPrintable(QString::number(ink.right())));
}

void TestLcdPanel::paintedSegmentsTellTextsApart()
{
    // Without the DSEG faces the boxes paint segments themselves; the status words must stay
    // apart from each other and from numbers, and nothing may fall outside the box.
    const auto render = [](const QString &text) {
        QImage img(300, 80, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setPen(Qt::black);
        PaintSegmentText(p, QRectF(4, 4, 292, 72), text, 60);
        return img;
    };
    const QStringList texts = {"0L",      " OL  ",  "8",      "8.",     "8,",
                               "- - - -", "OFF   ", "ERR   ", "PASS  ", "FAIL  ",
                               "OPEN  ",  "SHORT ", "12345",  "1.2345"};
    QList<QImage> images;
    for (const QString &t : texts) {
        const QImage img = render(t);
        const QRect ink = inkBounds(img);
        QVERIFY2(!ink.isEmpty(), qPrintable(t));
        QVERIFY2(ink.left() >= 4 && ink.right() <= 296, qPrintable(t));
        QVERIFY2(!images.contains(img), qPrintable(t + QStringLiteral(" looks like another")));
        images << img;
    }
    // "." and "," take no cell of their own, so 5 digits with a point fit as 5 digits do.
    QCOMPARE(inkBounds(render(QStringLiteral("1.2345"))).width(),
             inkBounds(render(QStringLiteral("12345"))).width());
}

QTEST_MAIN(TestLcdPanel)
#include "tst_lcdpanel.moc"
