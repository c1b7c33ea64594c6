#include "tqtchartengine.h"

#include <QChart>
#include <QDir>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

const QColor Silver(0xC0, 0xC0, 0xC0);

// A label step of 1, 2 or 5 times a power of ten, at least raw and at least minStep, so the
// labels read as round numbers.
double niceStep(double raw, double minStep)
{
    if (!(raw > minStep))
        return minStep;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / magnitude;
    const double step = (r <= 1.0 ? 1.0 : r <= 2.0 ? 2.0 : r <= 5.0 ? 5.0 : 10.0) * magnitude;
    return std::max(step, minStep);
}

QValueAxis *makeAxis(QChart *chart, Qt::Alignment alignment, const QString &title, double min,
                     double max)
{
    auto *axis = new QValueAxis();
    chart->addAxis(axis, alignment);
    axis->setTitleText(title);
    axis->setTitleBrush(Qt::black);
    axis->setLabelsColor(Qt::black);
    axis->setRange(min, max);
    // The axis line carries the tick marks in Qt Charts, so hiding it hides both; the plot
    // area's frame stands in for the line.
    axis->setLineVisible(false);
    axis->setGridLineVisible(true);
    axis->setGridLinePen(QPen(Silver, 1, Qt::SolidLine));
    axis->setMinorGridLineVisible(false);
    axis->setMinorTickCount(0);
    axis->setShadesVisible(false);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    return axis;
}

} // namespace

TQtChartEngine::TQtChartEngine(QWidget *parent)
    : QChartView(new QChart(), parent)
{
    QChart *c = chart();
    c->setBackgroundBrush(Qt::white);
    c->setBackgroundPen(Qt::NoPen);
    c->setBackgroundRoundness(0);
    c->setDropShadowEnabled(false);
    c->setAnimationOptions(QChart::NoAnimation);
    c->legend()->hide();
    c->setMargins(QMargins(4, 8, 12, 4));
    c->layout()->setContentsMargins(0, 0, 0, 0);
    c->setPlotAreaBackgroundVisible(true);
    c->setPlotAreaBackgroundBrush(Qt::white);
    c->setPlotAreaBackgroundPen(QPen(Qt::gray, 1));

    Series1_ = new QLineSeries(c);
    Series1_->setObjectName(QStringLiteral("Series1"));
    c->addSeries(Series1_);
    QPen pen(QColor(Qt::blue), 2);
    Series1_->setPen(pen);
    Series1_->setPointsVisible(false);

    BottomAxis_ =
        makeAxis(c, Qt::AlignBottom, QStringLiteral("Record Number"), BottomMin_, BottomMax_);
    LeftAxis_ = makeAxis(c, Qt::AlignLeft, QStringLiteral("Value"), LeftMin_, LeftMax_);
    Series1_->attachAxis(BottomAxis_);
    Series1_->attachAxis(LeftAxis_);

    // The chart only shows; paging is the tool bar's job, so no mouse zooming or panning.
    setRubberBand(QChartView::NoRubberBand);
    setDragMode(QGraphicsView::NoDrag);
    setInteractive(false);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::white);
    setRenderHint(QPainter::Antialiasing);
    sync();
}

void TQtChartEngine::appendPoint(double value)
{
    Points_.append(value);
    scheduleSync();
}

void TQtChartEngine::removeAllPoints()
{
    Points_.clear();
    Reload_ = true;
    scheduleSync();
}

void TQtChartEngine::setBottomMin(double value)
{
    if (value > BottomMax_)
        return;
    BottomMin_ = value;
    scheduleSync();
}

void TQtChartEngine::setBottomMax(double value)
{
    if (value < BottomMin_)
        return;
    BottomMax_ = value;
    scheduleSync();
}

void TQtChartEngine::scrollBottom(double offset)
{
    if ((offset > 0 && Points_.hasXAbove(BottomMax_))
        || (offset < 0 && Points_.hasXBelow(BottomMin_))) {
        BottomMin_ += offset;
        BottomMax_ += offset;
        scheduleSync();
    }
}

void TQtChartEngine::setLeftMin(double value)
{
    if (value > LeftMax_)
        return;
    LeftMin_ = value;
    scheduleSync();
}

void TQtChartEngine::setLeftMax(double value)
{
    if (value < LeftMin_)
        return;
    LeftMax_ = value;
    scheduleSync();
}

QImage TQtChartEngine::toImage()
{
    sync();
    if (QGraphicsLayout *layout = chart()->layout())
        layout->activate();
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    render(&painter);
    return image;
}

bool TQtChartEngine::saveBitmap(const QString &fileName, QString *error)
{
    const QImage image = toImage();
    // Written aside and renamed into place, so a failed save never leaves half a picture under
    // the chosen name.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot create file \"%1\". %2")
                         .arg(QDir::toNativeSeparators(fileName), file.errorString());
        return false;
    }
    if (!image.save(&file, "BMP") || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write file \"%1\". %2")
                         .arg(QDir::toNativeSeparators(fileName), file.errorString());
        return false;
    }
    return true;
}

void TQtChartEngine::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    // How many labels fit depends on the size.
    scheduleSync();
}

void TQtChartEngine::scheduleSync()
{
    if (SyncPending_)
        return;
    SyncPending_ = true;
    QMetaObject::invokeMethod(this, &TQtChartEngine::sync, Qt::QueuedConnection);
}

void TQtChartEngine::sync()
{
    SyncPending_ = false;
    syncSeries();
    const QFontMetrics bottomFont(BottomAxis_->labelsFont());
    const double widest = std::max({std::abs(BottomMin_), std::abs(BottomMax_), 1.0});
    const int digits = int(std::floor(std::log10(widest))) + 1;
    const QRectF plot = chart()->plotArea();
    const int plotWidth = plot.width() > 0 ? int(plot.width()) : width() - 80;
    const int plotHeight = plot.height() > 0 ? int(plot.height()) : height() - 60;
    syncAxis(BottomAxis_, BottomMin_, BottomMax_, 1.0, plotWidth,
             digits * bottomFont.horizontalAdvance(QLatin1Char('0')) + 14);
    const QFontMetrics leftFont(LeftAxis_->labelsFont());
    syncAxis(LeftAxis_, LeftMin_, LeftMax_, 0.1, plotHeight, leftFont.height() * 2);
}

void TQtChartEngine::syncSeries()
{
    // The window's X range, widened by one point each side, clipped to the points there are.
    const qsizetype n = Points_.count();
    const double lo = std::ceil(BottomMin_) - 1.0;
    const double hi = std::floor(BottomMax_) + 1.0;
    const qsizetype from = lo <= 0.0 ? 0 : lo >= double(n) ? n : qsizetype(lo);
    const qsizetype to = hi < 0.0 ? -1 : hi >= double(n - 1) ? n - 1 : qsizetype(hi);

    if (to < from) {
        if (LoadedTo_ >= LoadedFrom_ || Reload_)
            Series1_->clear();
    } else if (!Reload_ && from == LoadedFrom_ && to >= LoadedTo_ && LoadedTo_ >= from - 1) {
        // The usual case while following: the newest point joins the window.
        if (to > LoadedTo_) {
            QList<QPointF> added;
            added.reserve(to - LoadedTo_);
            for (qsizetype x = LoadedTo_ + 1; x <= to; ++x)
                added.append(QPointF(double(x), Points_.at(x)));
            Series1_->append(added);
        }
    } else {
        QList<QPointF> window;
        window.reserve(to - from + 1);
        for (qsizetype x = from; x <= to; ++x)
            window.append(QPointF(double(x), Points_.at(x)));
        Series1_->replace(window);
    }
    LoadedFrom_ = from;
    LoadedTo_ = to;
    Reload_ = false;
}

void TQtChartEngine::syncAxis(QValueAxis *axis, double min, double max, double minStep, int pixels,
                              int pixelsPerLabel)
{
    // A scale of a single value still needs some height to draw on.
    if (!(max > min)) {
        min -= 1.0;
        max += 1.0;
    }
    const int labels = std::clamp(pixels / std::max(pixelsPerLabel, 1), 2, 10);
    const double step = niceStep((max - min) / labels, minStep);
    if (axis->tickInterval() != step)
        axis->setTickInterval(step);
    const QString format = step >= 1.0 ? QStringLiteral("%.0f") : QStringLiteral("%.1f");
    if (axis->labelFormat() != format)
        axis->setLabelFormat(format);
    if (axis->min() != min || axis->max() != max)
        axis->setRange(min, max);
}
