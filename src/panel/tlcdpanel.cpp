#include "tlcdpanel.h"

#include "formatreading.h"
#include "tlcdpictures.h"
#include "tsevensegment.h"

#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

// Bar units are 1/10000 of a display unit, the meter's finest step, so a reading and its full
// scale compare directly at every decimal point: 123.4 of 2000 fills 6.17 % of the bar.
constexpr qint64 BarUnitsPerDisplayUnit = 10000;

const QColor ReadingBackground(166, 202, 240);

// Arial where it exists, else its metric twin, so captions take the widths the layout expects.
QFont arialFont(int pixelHeight, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

// The small font the battery bars are drawn with; its underscores make the bars.
QFont windowFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(11);
    return f;
}

QLabel *makeLabel(QWidget *parent, const char *name, int left, int top, const QString &caption,
                  const QFont &font, bool visible)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    l->move(left, top);
    l->adjustSize();
    l->setVisible(visible);
    return l;
}

// Most refreshes run on every frame with what is already on show; setting an equal text would
// still lay it out again and schedule a repaint, so only changes reach the widgets.
void setText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void setText(QLineEdit *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}

// Captions that change with the frame get, once, the size of the widest they can show, so a
// change of unit or tolerance costs no new size hint and layout on the receive path.
void fitCaptions(QLabel *label, const QStringList &captions)
{
    const QFontMetrics fm(label->font());
    int width = 0;
    for (const QString &c : captions)
        width = std::max(width, fm.horizontalAdvance(c));
    label->resize(width + 2 * label->margin() + 2, std::max(label->height(), fm.height()));
}

TSevenSegment *makeReading(QWidget *parent, const char *name, const QRect &geometry,
                           int pixelHeight)
{
    auto *box = new TSevenSegment(pixelHeight, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    QPalette pal = box->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, ReadingBackground);
        pal.setColor(group, QPalette::Text, Qt::black);
    }
    box->setPalette(pal);
    return box;
}

void setWhite(QWidget *w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

const QChar DegreeMark(0x309C);

// True when some installed font can draw the character in this font's fallback chain. The
// answer cannot change while the program runs, so it is worked out once per font.
bool canDraw(const QFont &font, QChar ch)
{
    static QHash<QString, bool> known;
    const QString key = font.key() + ch;
    if (const auto it = known.constFind(key); it != known.cend())
        return *it;
    QTextLayout layout(QString(ch), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    bool drawn = !runs.isEmpty();
    for (const QGlyphRun &run : runs) {
        for (const quint32 glyph : run.glyphIndexes())
            drawn = drawn && glyph != 0; // .notdef: the box that stands for a missing glyph
    }
    known.insert(key, drawn);
    return drawn;
}

// The secondary unit label. Its degree mark, U+309C, lives in CJK fonts, which a Western
// system may lack; the label then draws the small ring itself instead of a missing-glyph box.
class TUnitLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (text() != QString(DegreeMark) || canDraw(font(), DegreeMark)) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal px = font().pixelSize() > 0 ? font().pixelSize() : fontInfo().pixelSize();
        const qreal d = px * 0.38;
        p.setPen(QPen(palette().color(QPalette::WindowText), px * 0.12));
        p.drawEllipse(QRectF(px * 0.15, px * 0.15, d, d));
    }
};

} // namespace

TLcdPanel::TLcdPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("pnlLcd"));
    // Its readings and labels sit at fixed places across this width; narrower, a splitter
    // would cut them (a unit "nF" shown as "n").
    setMinimumWidth(TLcdPanel::sizeHint().width());
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setWhite(this);

    const QFont bold12 = arialFont(12, true);

    CONokN = new TLcdPicture(TLcdPicture::Kind::LinkDark, this);
    CONokN->setObjectName(QStringLiteral("CONokN"));
    CONokN->setGeometry(8, 6, 25, 24);
    CONok = new TLcdPicture(TLcdPicture::Kind::LinkLit, this);
    CONok->setObjectName(QStringLiteral("CONok"));
    CONok->setGeometry(8, 6, 25, 24);
    CONok->hide();

    lcdHold = makeLabel(this, "lcdHold", 56, 17, QStringLiteral("HOLD"), bold12, false);
    lcdAuto = makeLabel(this, "lcdAuto", 184, 17, QStringLiteral("Auto"), bold12, false);
    lcdLCR = makeLabel(this, "lcdLCR", 216, 17, QStringLiteral("LCR"), bold12, false);
    lcdRel =
        makeLabel(this, "lcdRel", 336, 12, QString(QChar(0x0394)), arialFont(21, false), false);

    lcdMMode = makeLabel(this, "lcdMMode", 16, 49, QString(), bold12, true);
    lcdMMode->setFixedSize(33, 15);
    lcdMMode->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lcdMDisp = makeReading(this, "lcdMDisp", QRect(56, 41, 297, 73), 71);
    lcdMUnit = makeLabel(this, "lcdMUnit", 360, 97, QString(), bold12, true);

    lcdSorting = makeLabel(this, "lcdSorting", 24, 129, QStringLiteral("Sorting"), bold12, false);
    lcdTol = makeLabel(this, "lcdTol", 24, 145, QStringLiteral("Tol"), bold12, false);
    lcdJianhao = makeLabel(this, "lcdJianhao", 48, 144, QStringLiteral("+"), bold12, false);
    lcdJiahao = makeLabel(this, "lcdJiahao", 49, 148, QStringLiteral("-"), bold12, false);
    lcdSortp = makeLabel(this, "lcdSortp", 57, 145, QStringLiteral("0.25%"), bold12, false);
    fitCaptions(lcdSortp, {QStringLiteral("10.0%"), QStringLiteral("-20% +80%")});

    lcdSMod = makeLabel(this, "lcdSMod", 152, 129, QString(), bold12, true);
    lcdSMod->setFixedSize(40, 15);
    lcdSMod->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lcdSDisp = makeReading(this, "lcdSDisp", QRect(200, 129, 153, 41), 37);
    lcdSUnit = new TUnitLabel(this);
    lcdSUnit->setObjectName(QStringLiteral("lcdSUnit"));
    lcdSUnit->setFont(bold12);
    lcdSUnit->move(360, 129);
    lcdSUnit->adjustSize();
    const QStringList units = {
        QStringLiteral("K\u03A9"), QStringLiteral("M\u03A9"), QStringLiteral("deg"),
        QStringLiteral("uH"),      QStringLiteral("mH"),      QStringLiteral("kH"),
        QStringLiteral("pF"),      QStringLiteral("nF"),      QStringLiteral("uF"),
        QStringLiteral("mF"),      QStringLiteral("%"),       QString(DegreeMark)};
    fitCaptions(lcdMUnit, units);
    fitCaptions(lcdSUnit, units);

    // Three underscores four pixels apart stack into the battery's charge bars.
    const QString bar = QStringLiteral("__");
    lcdBat3 = makeLabel(this, "lcdBat3", 18, 162, bar, windowFont(), false);
    lcdBat2 = makeLabel(this, "lcdBat2", 18, 166, bar, windowFont(), false);
    lcdBat1 = makeLabel(this, "lcdBat1", 18, 170, bar, windowFont(), false);
    lcdRS232 = makeLabel(this, "lcdRS232", 40, 169, QStringLiteral("USB"), bold12, false);
    lcdBat0 = new TLcdPicture(TLcdPicture::Kind::Battery, this);
    lcdBat0->setObjectName(QStringLiteral("lcdBat0"));
    lcdBat0->setGeometry(16, 184, 17, 17);

    lcdFREQ = makeLabel(this, "lcdFREQ", 40, 185, QStringLiteral("100 Hz"), bold12, false);
    lcdFREQ->setFixedSize(49, 15);

    pnlBar = new QFrame(this);
    pnlBar->setObjectName(QStringLiteral("pnlBar"));
    pnlBar->setFrameStyle(QFrame::NoFrame);
    pnlBar->setGeometry(3, 202, 441, 32);
    setWhite(pnlBar);
    lcdBar = new QProgressBar(pnlBar);
    lcdBar->setObjectName(QStringLiteral("lcdBar"));
    lcdBar->setGeometry(24, 9, 393, 10);
    lcdBar->setRange(0, 100);
    lcdBar->setValue(0);
    lcdBar->setTextVisible(false);
    const QFont scaleFont = arialFont(11, false);
    const int scaleLefts[] = {21, 92, 168, 245, 321, 398};
    const char *scaleTexts[] = {"0", "20", "40", "60", "80", "100%"};
    for (int i = 0; i < 6; ++i) {
        QLabel *l =
            makeLabel(pnlBar, "", scaleLefts[i], 20, QLatin1String(scaleTexts[i]), scaleFont, true);
        l->setObjectName(QStringLiteral("lblScale%1").arg(i));
    }

    setTabOrder(lcdMDisp, lcdSDisp);
    connect(lcdMDisp, &TSevenSegment::entered, this, &TLcdPanel::lcdMDispEnter);
    connect(lcdSDisp, &TSevenSegment::entered, this, &TLcdPanel::lcdSDispEnter);
}

QSize TLcdPanel::sizeHint() const
{
    return {453, 245};
}

void TLcdPanel::FillUnitLabels()
{
    const QString ohm(QChar(0x03A9));
    UnitLabels_ = {QString(),
                   ohm,
                   QStringLiteral("K") + ohm,
                   QStringLiteral("M") + ohm,
                   QString(),
                   QStringLiteral("uH"),
                   QStringLiteral("mH"),
                   QStringLiteral("H"),
                   QStringLiteral("kH"),
                   QStringLiteral("pF"),
                   QStringLiteral("nF"),
                   QStringLiteral("uF"),
                   QStringLiteral("mF"),
                   QStringLiteral("%"),
                   QStringLiteral("deg")};
}

QString TLcdPanel::unitLabel(int code) const
{
    // Five unit bits can carry 15-31, which name no unit: they show as no unit.
    return ToUnit(code) ? UnitLabels_[static_cast<std::size_t>(code)] : QString();
}

void TLcdPanel::ShowDisplay(const TMeterState &s, TDisplayChanges changes,
                            const QString &decimalSep)
{
    using P = TDisplayPart;
    if (changes & P::Activity)
        ToggleActivity();
    if (changes & P::MainUnit)
        ShowMainUnit(s);
    if (changes & P::Hold)
        ShowHold(s);
    if (changes & P::Relative)
        ShowRelative(s);
    if (changes & P::Lcr)
        ShowLcr(s);
    if (changes & P::Auto)
        ShowAuto(s);
    if (changes & P::Battery)
        ShowBattery(s);
    if (changes & P::Frequency)
        ShowFrequency(s);
    if (changes & P::Sorting)
        ShowSorting(s);
    // The mode caption reads Parallel, which the decoder has latched before.
    if (changes & P::MainMode)
        ShowMainMode(s);
    if (changes & P::MainStatus)
        ShowMainStatus(s, decimalSep);
    if (changes & P::SubMode)
        ShowSubMode(s);
    if (changes & P::SubUnit)
        ShowSubUnit(s);
    if (changes & P::SubStatus)
        ShowSubStatus(s);
    if (changes & P::BarMax)
        SetBarMax(FullScale(s.MainDecimals));
    if (changes & P::MainText)
        ShowMainReading(s);
}

void TLcdPanel::ShowHold(const TMeterState &s)
{
    lcdHold->setVisible(s.Hold);
}

void TLcdPanel::ShowRelative(const TMeterState &s)
{
    lcdRel->setVisible(s.Relative);
}

void TLcdPanel::ShowLcr(const TMeterState &s)
{
    lcdLCR->setVisible(s.Lcr);
}

void TLcdPanel::ShowAuto(const TMeterState &s)
{
    lcdAuto->setVisible(s.Lcr || s.Auto);
}

void TLcdPanel::ShowBattery(const TMeterState &s)
{
    lcdBat1->setVisible(s.Battery >= 1);
    lcdBat2->setVisible(s.Battery >= 2);
    lcdBat3->setVisible(s.Battery >= 3);
}

void TLcdPanel::ShowFrequency(const TMeterState &s)
{
    static const char *const captions[] = {"100Hz", "120Hz", "1KHz", "10KHz", "100KHz"};
    if (s.Frequency >= 0 && s.Frequency <= 4)
        setText(lcdFREQ, QLatin1String(captions[s.Frequency]));
}

void TLcdPanel::ShowSorting(const TMeterState &s)
{
    const bool sorting = s.Sorting != 0;
    pnlBar->setVisible(!sorting);
    for (QLabel *l : {lcdSorting, lcdTol, lcdJianhao, lcdJiahao, lcdSortp})
        l->setVisible(sorting);

    static const char *const tolerances[] = {"0.25%", "0.5%",  "1.0%", "2.0%",
                                             "5.0%",  "10.0%", "20.0%"};
    if (s.Sorting >= 3 && s.Sorting <= 9) {
        setText(lcdSortp, QLatin1String(tolerances[s.Sorting - 3]));
    } else if (s.Sorting == 10) {
        // -20 % +80 % is one-sided per direction: no plus-minus sign.
        lcdJianhao->hide();
        lcdJiahao->hide();
        setText(lcdSortp, QStringLiteral("-20% +80%"));
    }
}

void TLcdPanel::ShowMainMode(const TMeterState &s)
{
    lcdFREQ->show();
    const bool p = s.Parallel;
    switch (s.MainMode) {
    case 0:
        setText(lcdMMode, QString());
        break;
    case 1:
        setText(lcdMMode, p ? QStringLiteral("Lp") : QStringLiteral("Ls"));
        break;
    case 2:
        setText(lcdMMode, p ? QStringLiteral("Cp") : QStringLiteral("Cs"));
        break;
    case 3:
        setText(lcdMMode, p ? QStringLiteral("Rp") : QStringLiteral("Rs"));
        break;
    case 4:
        // DC resistance is measured without a test frequency.
        setText(lcdMMode, QStringLiteral("DCR"));
        lcdFREQ->hide();
        break;
    default:
        break;
    }
}

void TLcdPanel::ShowMainUnit(const TMeterState &s)
{
    setText(lcdMUnit, unitLabel(s.MainUnit));
}

void TLcdPanel::ShowMainStatus(const TMeterState &s, const QString &decimalSep)
{
    static const char *const texts[] = {nullptr,  "",       "- - - -", " OL  ",  "OFF   ", "",
                                        "ERR   ", "PASS  ", "FAIL  ",  "OPEN  ", "SHORT "};
    ShowMainReading(s);
    if (s.MainStatus != stReading && s.MainStatus <= stShort)
        setText(lcdMDisp, QLatin1String(texts[s.MainStatus]));
    // The range is this frame's too, so a reading never shows against the previous range.
    setBar(FullScale(s.MainDecimals),
           std::llround(PlottedValue(s, decimalSep) * BarUnitsPerDisplayUnit));
}

void TLcdPanel::ShowMainReading(const TMeterState &s)
{
    if (s.MainStatus == stReading)
        setText(lcdMDisp, s.MainText);
}

void TLcdPanel::ShowSubMode(const TMeterState &s)
{
    switch (s.SubMode) {
    case 0:
        setText(lcdSMod, QString());
        break;
    case 1:
        setText(lcdSMod, QStringLiteral("D"));
        break;
    case 2:
        setText(lcdSMod, QStringLiteral("Q"));
        break;
    case 3:
        setText(lcdSMod, s.Parallel ? QStringLiteral("Rp") : QStringLiteral("ESR"));
        break;
    case 4:
        setText(lcdSMod, QString(QChar(0x03B8)));
        break;
    default:
        break;
    }
}

void TLcdPanel::ShowSubUnit(const TMeterState &s)
{
    // The secondary display has room for one character of degrees only.
    if (s.SubUnit == static_cast<int>(TUnit::udeg))
        setText(lcdSUnit, QString(DegreeMark));
    else
        setText(lcdSUnit, unitLabel(s.SubUnit));
}

void TLcdPanel::ShowSubStatus(const TMeterState &s)
{
    // The secondary overload is "0L" with a zero, and its words end one cell earlier.
    static const char *const texts[] = {nullptr, "",       "- - - -", "  0L  ", "OFF  ", "",
                                        "ERR  ", "PASS  ", "FAIL  ",  "OPEN  ", "SHORT "};
    lcdSDisp->show();
    if (s.SubStatus == 0)
        setText(lcdSDisp, s.SubText);
    else if (s.SubStatus <= 10)
        setText(lcdSDisp, QLatin1String(texts[s.SubStatus]));
    if (s.SubStatus == 1 || s.SubStatus == 5)
        lcdSDisp->hide();
}

void TLcdPanel::SetBarMax(int fullScale)
{
    setBar(fullScale, lcdBar->value());
}

void TLcdPanel::setBar(int fullScale, qint64 position)
{
    const qint64 maximum = std::max<qint64>(fullScale, 0) * BarUnitsPerDisplayUnit;
    // A 0..0 range would turn the bar into a busy indicator; no range shows an empty bar.
    lcdBar->setRange(0, maximum > 0 ? int(maximum) : 1);
    // Out-of-range values are ignored by QProgressBar, which would leave a stale bar behind.
    lcdBar->setValue(int(std::clamp<qint64>(position, 0, maximum)));
}

void TLcdPanel::ToggleActivity()
{
    // isHidden, not isVisible: the pictures alternate even while the window is not shown.
    CONok->setVisible(CONok->isHidden());
    CONokN->setVisible(CONokN->isHidden());
}

void TLcdPanel::ShowUsbMark(bool visible)
{
    lcdRS232->setVisible(visible);
}

void TLcdPanel::lcdMDispEnter()
{
    passFocusOn(lcdMDisp);
}

void TLcdPanel::lcdSDispEnter()
{
    passFocusOn(lcdSDisp);
}

void TLcdPanel::passFocusOn(QWidget *from)
{
    // Skip the other reading box too: it would only pass the focus on again. With nothing else
    // to take it the box just lets go, rather than the two boxes bouncing it between them.
    for (QWidget *w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if (w->window() != from->window() || qobject_cast<TSevenSegment *>(w))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->isVisible() && w->isEnabled()
            && !w->focusProxy()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    from->clearFocus();
}
