#include "ttrendplot.h"

#include "taxisticks.h"
#include "trecordtexts.h"

#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

namespace {

// Closest zoom: two records, or a twentieth of a second.
constexpr double MinIndexSpan = 2;
constexpr double MinTimeSpan = 50;
// A click that moves less than this is a click, not a drag.
constexpr double ClickSlop = 4;

QString durationText(double ms)
{
    const double a = std::abs(ms);
    if (a < 1000)
        return QStringLiteral("%1 ms").arg(qRound64(ms));
    if (a < 60000)
        return QStringLiteral("%1 s").arg(ms / 1000, 0, 'f', 1);
    const qint64 s = qRound64(a / 1000);
    const QString sign = ms < 0 ? QStringLiteral("-") : QString();
    if (s < 3600)
        return sign
               + QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    if (s < 86400)
        return sign
               + QStringLiteral("%1 h %2 min")
                     .arg(s / 3600)
                     .arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
    return sign + QStringLiteral("%1 d %2 h").arg(s / 86400).arg(s / 3600 % 24);
}

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

} // namespace

TTrendPlot::TTrendPlot(const TTrendSeries &series, QWidget *parent)
    : QWidget(parent)
    , Series_(series)
{
    setObjectName(QStringLiteral("trendPlot"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    Painter_.LabelFont = font();
    Painter_.TitleFont = font();
    Painter_.TitleFont.setBold(true);
    Generation_ = series.generation();
}

double TTrendPlot::readingX(qsizetype i) const
{
    return View_.ByTime ? double(Series_.timeMs(i)) : double(i + 1);
}

double TTrendPlot::newestX() const
{
    return Series_.count() ? readingX(Series_.count() - 1) : (View_.ByTime ? 0.0 : 1.0);
}

double TTrendPlot::firstX() const
{
    return Series_.count() ? readingX(0) : (View_.ByTime ? 0.0 : 1.0);
}

void TTrendPlot::setXRange(double min, double max)
{
    const double least = View_.ByTime ? MinTimeSpan : MinIndexSpan;
    if (max - min < least) {
        const double mid = (min + max) / 2;
        min = mid - least / 2;
        max = mid + least / 2;
    }
    View_.XMin = min;
    View_.XMax = max;
}

void TTrendPlot::followNewest()
{
    if (All_) {
        // Every reading, with half a record (or half a second) of room at each end, and room
        // for the view to land on the envelope's grid without losing the first or the last.
        const TTrendMapping m = TTrendPainter::mapping(View_, Layout_);
        const double grid = (newestX() - firstX()) / m.Columns;
        const double room = std::max(View_.ByTime ? 500.0 : 0.5, 1.5 * grid);
        double from = firstX() - room;
        double to = newestX() + room;
        if (!View_.ByTime)
            to = std::max(to, 10.5);
        setXRange(from, to);
        return;
    }
    if (!Following_)
        return;
    // The right edge on a column boundary just past the newest reading: a new reading then
    // moves the view on by whole columns, which keeps the envelope worked out so far.
    const TTrendMapping m = TTrendPainter::mapping(View_, Layout_);
    const double right = (std::floor(newestX() / m.Width) + 1) * m.Width;
    View_.XMin = right - m.Width * m.Columns;
    View_.XMax = right;
}

void TTrendPlot::snapToColumns()
{
    // The view starts on a column of the envelope's grid, so what is drawn at a pixel and
    // what the envelope holds for it are the same readings.
    const TTrendMapping m = TTrendPainter::mapping(View_, Layout_);
    View_.XMin = m.x0();
    View_.XMax = m.x0() + m.Width * m.Columns;
}

// The quantity most readings of a channel in from..to-1 have; the newest reading's when
// none is in view.
static TTrendQuantity mostIn(const TTrendSeries &s, int channel, qsizetype from, qsizetype to)
{
    if (s.count() == 0)
        return TTrendQuantity::None;
    TTrendSeries::TOthers counts{};
    s.forRuns(channel, from, to, [&](qsizetype a, qsizetype b, TTrendQuantity q) {
        counts[std::size_t(q)].merge(s.summarizeAll(channel, a, b));
    });
    const TTrendQuantity newest = s.quantity(channel, s.count() - 1);
    TTrendQuantity best = newest;
    qint64 most = counts[std::size_t(newest)].Valid + counts[std::size_t(newest)].Gaps;
    for (int q = 0; q < TrendQuantityCount; ++q) {
        const qint64 c = counts[std::size_t(q)].Valid + counts[std::size_t(q)].Gaps;
        if (c > most) {
            most = c;
            best = TTrendQuantity(q);
        }
    }
    return best;
}

void TTrendPlot::chooseQuantity()
{
    const TTrendMapping m = TTrendPainter::mapping(View_, Layout_);
    const qsizetype from = TTrendEnvelope::boundary(Series_, m, 0);
    const qsizetype to = TTrendEnvelope::boundary(Series_, m, m.Columns);
    View_.Quantity = Chosen_ ? *Chosen_ : mostIn(Series_, tcMain, from, to);
    View_.SubQuantity = mostIn(Series_, tcSub, from, to);
}

// A range around what the envelope holds, with a little room; nullopt when it holds nothing.
static std::optional<std::pair<double, double>> envelopeRange(const TTrendEnvelope &e, bool log)
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const TEnvelopeColumn &c : e.columns()) {
        if (c.Valid == 0)
            continue;
        if (log && !(c.Max > 0))
            continue;
        lo = std::min(lo, log && !(c.Min > 0) ? double(c.Max) : double(c.Min));
        hi = std::max(hi, double(c.Max));
    }
    if (!(hi >= lo))
        return std::nullopt;
    if (log) {
        // The same room as a linear axis gets, measured in decades.
        const double room = std::max(std::pow(hi / lo, 0.05), 1.01);
        return std::pair(lo / room, hi * room);
    }
    double room = (hi - lo) * 0.05;
    if (!(room > 0))
        room = std::max(std::abs(hi) * 0.01, 1e-15);
    return std::pair(lo - room, hi + room);
}

void TTrendPlot::autoscaleY()
{
    if (AutoY_) {
        if (const auto r = envelopeRange(Main_, View_.Log)) {
            View_.YMin = r->first;
            View_.YMax = r->second;
        } else if (!(View_.YMax > View_.YMin) || (View_.Log && !(View_.YMin > 0))) {
            View_.YMin = View_.Log ? 1e-12 : 0.0;
            View_.YMax = 1.0;
        }
    }
    if (View_.Secondary) {
        if (const auto r = envelopeRange(Sub_, false)) {
            View_.SubMin = r->first;
            View_.SubMax = r->second;
        }
    }
}

void TTrendPlot::refresh()
{
    Dirty_ = false;
    if (Series_.generation() != Generation_) {
        // Emptied: the markers named readings that are gone.
        Generation_ = Series_.generation();
        View_.MarkerA.reset();
        View_.MarkerB.reset();
    }
    // Twice at most: new labels may change the plot's width, which changes the columns.
    for (int pass = 0; pass < 2; ++pass) {
        Layout_ = Painter_.layout(View_, QSizeF(size()), this);
        followNewest();
        snapToColumns();
        chooseQuantity();
        const TTrendMapping m = TTrendPainter::mapping(View_, Layout_);
        Main_.update(Series_, tcMain, View_.Quantity, m);
        if (View_.Secondary)
            Sub_.update(Series_, tcSub, View_.SubQuantity, m);
        autoscaleY();
        const TTrendPainter::TLayout again = Painter_.layout(View_, QSizeF(size()), this);
        if (again.Plot == Layout_.Plot) {
            Layout_ = again;
            break;
        }
        Layout_ = again;
    }
    Others_ = {};
    InView_ = Series_.summarize(tcMain, Main_.first(), Main_.last(), View_.Quantity, &Others_);
    emit viewChanged();
}

void TTrendPlot::changed()
{
    refresh();
    update();
}

void TTrendPlot::dataChanged()
{
    Dirty_ = true;
    if (RefreshPending_ || !isVisible())
        return;
    // Readings come in bursts of a block; the view catches up once per pass of the event loop.
    RefreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        RefreshPending_ = false;
        if (Dirty_)
            changed();
    });
}

TTrendSummary TTrendPlot::subInView() const
{
    return Series_.summarize(tcSub, Main_.first(), Main_.last(), View_.SubQuantity);
}

void TTrendPlot::setByTime(bool on)
{
    if (on == View_.ByTime)
        return;
    // The same readings in view, now placed by their time (or their number).
    const qsizetype n = Series_.count();
    const TTrendMapping m = TTrendPainter::mapping(View_, Layout_);
    const qsizetype from = TTrendEnvelope::boundary(Series_, m, 0);
    const qsizetype to = TTrendEnvelope::boundary(Series_, m, m.Columns);
    View_.ByTime = on;
    if (n > 0 && to > from)
        setXRange(readingX(from), readingX(to - 1));
    else
        setXRange(firstX(), newestX());
    changed();
}

void TTrendPlot::setLog(bool on)
{
    View_.Log = on;
    if (on && !(View_.YMin > 0)) {
        AutoY_ = true;
    }
    changed();
}

void TTrendPlot::setAutoscale(bool on)
{
    AutoY_ = on;
    changed();
}

void TTrendPlot::setSecondary(bool on)
{
    View_.Secondary = on;
    changed();
}

void TTrendPlot::setQuantity(std::optional<TTrendQuantity> q)
{
    Chosen_ = q;
    // Another quantity needs its own scale.
    AutoY_ = true;
    changed();
}

void TTrendPlot::zoomX(double factor, std::optional<double> aboutPixel)
{
    // Buttons and keys zoom about the middle, or about the right edge while following.
    double a = (View_.XMin + View_.XMax) / 2;
    if (aboutPixel) {
        // A wheel over the labels zooms about the nearest edge of the plot.
        a = TTrendPainter::pixelToX(
            View_, Layout_, std::clamp(*aboutPixel, Layout_.Plot.left(), Layout_.Plot.right()));
        Following_ = false;
    } else if (Following_) {
        a = View_.XMax;
    }
    All_ = false;
    setXRange(a - (a - View_.XMin) * factor, a + (View_.XMax - a) * factor);
    changed();
}

void TTrendPlot::zoomY(double factor, std::optional<double> aboutPixel)
{
    AutoY_ = false;
    const double a =
        aboutPixel ? TTrendPainter::pixelToY(
            View_, Layout_, std::clamp(*aboutPixel, Layout_.Plot.top(), Layout_.Plot.bottom()))
                   : (View_.Log && View_.YMin > 0 ? std::sqrt(View_.YMin * View_.YMax)
                                                  : (View_.YMin + View_.YMax) / 2);
    if (View_.Log && View_.YMin > 0 && a > 0) {
        View_.YMin = a * std::pow(View_.YMin / a, factor);
        View_.YMax = a * std::pow(View_.YMax / a, factor);
    } else {
        View_.YMin = a - (a - View_.YMin) * factor;
        View_.YMax = a + (View_.YMax - a) * factor;
    }
    changed();
}

void TTrendPlot::panPixels(double dx, double dy)
{
    if (dx != 0) {
        const double per = (View_.XMax - View_.XMin) / Layout_.Plot.width();
        double shift = -dx * per;
        // Some reading stays in view: the view may not leave the readings behind.
        if (Series_.count()) {
            shift = std::min(shift, newestX() - View_.XMin);
            shift = std::max(shift, firstX() - View_.XMax);
        }
        View_.XMin += shift;
        View_.XMax += shift;
        Following_ = false;
        All_ = false;
    }
    if (dy != 0 && !AutoY_) {
        const double f = dy / Layout_.Plot.height();
        if (View_.Log && View_.YMin > 0) {
            const double k = std::pow(View_.YMax / View_.YMin, f);
            View_.YMin *= k;
            View_.YMax *= k;
        } else {
            const double shift = (View_.YMax - View_.YMin) * f;
            View_.YMin += shift;
            View_.YMax += shift;
        }
    }
    changed();
}

void TTrendPlot::home()
{
    Following_ = true;
    All_ = false;
    changed();
}

void TTrendPlot::showAll()
{
    Following_ = true;
    All_ = true;
    changed();
}

void TTrendPlot::clearMarkers()
{
    View_.MarkerA.reset();
    View_.MarkerB.reset();
    changed();
}

std::optional<qsizetype> TTrendPlot::readingAt(double pixelX) const
{
    const qsizetype n = Series_.count();
    if (n == 0)
        return std::nullopt;
    const double x = TTrendPainter::pixelToX(View_, Layout_, pixelX);
    if (!View_.ByTime)
        return std::clamp<qsizetype>(qsizetype(std::llround(x)) - 1, 0, n - 1);
    const qsizetype j = Series_.lowerBoundTime(qint64(std::llround(x)));
    if (j >= n)
        return n - 1;
    if (j > 0 && x - double(Series_.timeMs(j - 1)) < double(Series_.timeMs(j)) - x)
        return j - 1;
    return j;
}

void TTrendPlot::placeMarker(double pixelX)
{
    const std::optional<qsizetype> i = readingAt(pixelX);
    if (!i)
        return;
    if (!View_.MarkerA) {
        View_.MarkerA = i;
    } else if (!View_.MarkerB) {
        View_.MarkerB = i;
    } else {
        const double a = TTrendPainter::xToPixel(View_, Layout_, readingX(*View_.MarkerA));
        const double b = TTrendPainter::xToPixel(View_, Layout_, readingX(*View_.MarkerB));
        (std::abs(a - pixelX) <= std::abs(b - pixelX) ? View_.MarkerA : View_.MarkerB) = i;
    }
    changed();
}

static QString readingValueText(const TTrendSeries &s, int channel, qsizetype i)
{
    const double v = s.value(channel, i);
    if (std::isnan(v)) {
        const QString word = RecordReadingText(s.status(channel, i), QString());
        return word.isEmpty() ? QStringLiteral("(blank)") : word;
    }
    return SiText(v, TrendQuantityUnit(s.quantity(channel, i)));
}

QString TTrendPlot::pointerText() const
{
    if (!View_.Pointer || !Layout_.Plot.contains(*View_.Pointer))
        return {};
    const std::optional<qsizetype> i = readingAt(View_.Pointer->x());
    if (!i)
        return {};
    QString text = QStringLiteral("Record %1   %2   %3")
                       .arg(*i + 1)
                       .arg(timeText(Series_.timeMs(*i)), readingValueText(Series_, tcMain, *i));
    if (View_.Secondary && Series_.quantity(tcSub, *i) != TTrendQuantity::None)
        text += QStringLiteral("   %1 %2")
                    .arg(TrendQuantityName(Series_.quantity(tcSub, *i)),
                         readingValueText(Series_, tcSub, *i));
    return text;
}

QString TTrendPlot::markerText() const
{
    const auto describe = [&](const char *name, qsizetype i) {
        return QStringLiteral("%1: record %2, %3, %4")
            .arg(QLatin1String(name))
            .arg(i + 1)
            .arg(QDateTime::fromMSecsSinceEpoch(Series_.timeMs(i))
                     .toString(QStringLiteral("hh:mm:ss.zzz")),
                 readingValueText(Series_, tcMain, i));
    };
    const qsizetype n = Series_.count();
    const bool a = View_.MarkerA && *View_.MarkerA < n;
    const bool b = View_.MarkerB && *View_.MarkerB < n;
    if (!a && !b)
        return {};
    if (!b)
        return describe("A", *View_.MarkerA);
    if (!a)
        return describe("B", *View_.MarkerB);
    const qsizetype ia = *View_.MarkerA;
    const qsizetype ib = *View_.MarkerB;
    QString text = describe("A", ia) + QStringLiteral("   ") + describe("B", ib);
    const double va = Series_.value(tcMain, ia);
    const double vb = Series_.value(tcMain, ib);
    const TTrendQuantity q = Series_.quantity(tcMain, ia);
    QString delta = QStringLiteral("-");
    if (!std::isnan(va) && !std::isnan(vb) && q == Series_.quantity(tcMain, ib)) {
        delta = SiText(vb - va, TrendQuantityUnit(q));
        if (va != 0)
            delta += QStringLiteral(" (%1 %)").arg((vb - va) / std::abs(va) * 100, 0, 'f', 3);
    }
    text += QStringLiteral("   B - A: %1, %2 records, %3")
                .arg(delta)
                .arg(ib - ia)
                .arg(durationText(double(Series_.timeMs(ib) - Series_.timeMs(ia))));
    return text;
}

QString TTrendPlot::statsText() const
{
    const QString unit = TrendQuantityUnit(View_.Quantity);
    // Each figure kept whole on one line when the text wraps.
    const auto item = [](const QString &text) {
        return QString(text).replace(QLatin1Char(' '), QChar(0x00A0));
    };
    if (InView_.Valid == 0)
        return InView_.Gaps ? QStringLiteral("In view: %1 status words").arg(InView_.Gaps)
                            : QStringLiteral("In view: no readings");
    QStringList items{QStringLiteral("In view: %1 readings").arg(InView_.Valid),
                      item(QStringLiteral("min ") + SiText(InView_.Min, unit)),
                      item(QStringLiteral("max ") + SiText(InView_.Max, unit)),
                      item(QStringLiteral("mean ") + SiText(InView_.Mean, unit)),
                      item(QStringLiteral("std dev ") + SiText(InView_.sd(), unit))};
    if (InView_.Gaps)
        items << QStringLiteral("%1 status words").arg(InView_.Gaps);
    return items.join(QStringLiteral("   "));
}

QString TTrendPlot::notShownText() const
{
    QStringList parts;
    for (int q = 0; q < TrendQuantityCount; ++q) {
        const TTrendSummary &o = Others_[std::size_t(q)];
        const qint64 count = o.Valid + o.Gaps;
        if (count == 0 || TTrendQuantity(q) == View_.Quantity)
            continue;
        QString unit = TrendQuantityUnit(TTrendQuantity(q));
        if (TrendQuantityPrefixed(TTrendQuantity(q)) && o.Valid > 0)
            unit = SiPrefix(SiExponent(std::max(std::abs(o.Min), std::abs(o.Max)))) + unit;
        if (unit.isEmpty())
            unit = TrendQuantityName(TTrendQuantity(q));
        parts << QStringLiteral("%1 readings in %2").arg(count).arg(unit);
    }
    if (parts.isEmpty())
        return {};
    return parts.join(QStringLiteral(", ")) + QStringLiteral(" not shown");
}

void TTrendPlot::paintStill(QPainter &p, const QPaintDevice *device) const
{
    TTrendView v = View_;
    v.Pointer.reset();
    v.Rubber.reset();
    const TTrendPainter::TLayout l = Painter_.layout(v, QSizeF(size()), device);
    const TTrendMapping m = TTrendPainter::mapping(v, l);
    TTrendEnvelope main;
    TTrendEnvelope sub;
    main.update(Series_, tcMain, v.Quantity, m);
    if (v.Secondary)
        sub.update(Series_, tcSub, v.SubQuantity, m);
    Painter_.paint(p, v, l, Series_, main, v.Secondary ? &sub : nullptr);
}

QImage TTrendPlot::toImage(qreal ratio) const
{
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter p(&image);
    paintStill(p, &image);
    return image;
}

bool TTrendPlot::savePdf(const QString &fileName, QString *error) const
{
    // Written aside and renamed into place, so a failed save leaves nothing half written.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot create file \"%1\". %2")
                         .arg(QDir::toNativeSeparators(fileName), file.errorString());
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(QStringLiteral("Trend"));
        pdf.setCreator(QStringLiteral("Lumetra"));
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(size()), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&pdf);
        paintStill(p, &pdf);
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write file \"%1\". %2")
                         .arg(QDir::toNativeSeparators(fileName), file.errorString());
        return false;
    }
    return true;
}

void TTrendPlot::paintTo(QPainter &p)
{
    if (Dirty_)
        refresh();
    Painter_.paint(p, View_, Layout_, Series_, Main_, View_.Secondary ? &Sub_ : nullptr);
}

void TTrendPlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintTo(p);
}

void TTrendPlot::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Dirty_ = true;
}

void TTrendPlot::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) {
        event->ignore();
        return;
    }
    const double factor = std::pow(0.8, steps); // one notch: a fifth closer
    if (event->modifiers() & Qt::ControlModifier)
        zoomY(factor, event->position().y());
    else
        zoomX(factor, event->position().x());
    event->accept();
}

void TTrendPlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    Press_ = event->position();
    PressView_ = View_;
    Dragging_ = false;
    Rubber_ = event->modifiers() & Qt::ShiftModifier;
}

void TTrendPlot::mouseMoveEvent(QMouseEvent *event)
{
    View_.Pointer = event->position();
    if (Press_) {
        const QPointF d = event->position() - *Press_;
        if (!Dragging_ && std::hypot(d.x(), d.y()) >= ClickSlop)
            Dragging_ = true;
        if (Dragging_ && Rubber_) {
            View_.Rubber = QRectF(*Press_, event->position()).normalized();
        } else if (Dragging_) {
            // Panned from where the drag began, so the reading under the pointer stays there.
            const TTrendView now = View_;
            View_.XMin = PressView_.XMin;
            View_.XMax = PressView_.XMax;
            if (!AutoY_) {
                View_.YMin = PressView_.YMin;
                View_.YMax = PressView_.YMax;
            }
            View_.Pointer = now.Pointer;
            panPixels(d.x(), d.y());
            return;
        }
    }
    emit viewChanged();
    update();
}

void TTrendPlot::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !Press_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF start = *Press_;
    Press_.reset();
    if (!Dragging_) {
        placeMarker(event->position().x());
        return;
    }
    if (Rubber_) {
        View_.Rubber.reset();
        const QRectF r = QRectF(start, event->position()).normalized().intersected(Layout_.Plot);
        if (r.width() >= ClickSlop) {
            const double x0 = TTrendPainter::pixelToX(View_, Layout_, r.left());
            const double x1 = TTrendPainter::pixelToX(View_, Layout_, r.right());
            if (r.height() >= ClickSlop) {
                const double y0 = TTrendPainter::pixelToY(View_, Layout_, r.bottom());
                const double y1 = TTrendPainter::pixelToY(View_, Layout_, r.top());
                AutoY_ = false;
                View_.YMin = y0;
                View_.YMax = y1;
            }
            Following_ = false;
            All_ = false;
            setXRange(x0, x1);
        }
        changed();
    }
}

void TTrendPlot::leaveEvent(QEvent *event)
{
    View_.Pointer.reset();
    emit viewChanged();
    update();
    QWidget::leaveEvent(event);
}

void TTrendPlot::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const double width = Layout_.Plot.width();
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ctrl ? zoomY(0.5) : zoomX(0.5);
        break;
    case Qt::Key_Minus:
        ctrl ? zoomY(2) : zoomX(2);
        break;
    case Qt::Key_Up:
        ctrl ? zoomY(0.5) : panPixels(0, -Layout_.Plot.height() / 10);
        break;
    case Qt::Key_Down:
        ctrl ? zoomY(2) : panPixels(0, Layout_.Plot.height() / 10);
        break;
    case Qt::Key_Left:
        panPixels(width / 10, 0);
        break;
    case Qt::Key_Right:
        panPixels(-width / 10, 0);
        break;
    case Qt::Key_PageUp:
        panPixels(width, 0);
        break;
    case Qt::Key_PageDown:
        panPixels(-width, 0);
        break;
    case Qt::Key_Home:
        home();
        break;
    case Qt::Key_Escape:
        if (View_.MarkerA || View_.MarkerB) {
            clearMarkers();
            break;
        }
        event->ignore();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
