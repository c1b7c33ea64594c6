#include "tpagedchart.h"

#include <QDir>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QSaveFile>

TPagedChart::TPagedChart(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
}

void TPagedChart::appendPoint(double value)
{
    Points_.append(value);
    // Only a point that lands in the window (or beside it, where the line runs to) shows.
    const double x = double(Points_.count() - 1);
    if (x >= Painter_.Bottom.Min - 1 && x <= Painter_.Bottom.Max + 1)
        update();
}

void TPagedChart::removeAllPoints()
{
    Points_.clear();
    update();
}

void TPagedChart::setBottomMin(double value)
{
    if (value > Painter_.Bottom.Max || value == Painter_.Bottom.Min)
        return;
    Painter_.Bottom.Min = value;
    axesChanged();
}

void TPagedChart::setBottomMax(double value)
{
    if (value < Painter_.Bottom.Min || value == Painter_.Bottom.Max)
        return;
    Painter_.Bottom.Max = value;
    axesChanged();
}

void TPagedChart::scrollBottom(double offset)
{
    if ((offset > 0 && Points_.hasXAbove(Painter_.Bottom.Max))
        || (offset < 0 && Points_.hasXBelow(Painter_.Bottom.Min))) {
        Painter_.Bottom.Min += offset;
        Painter_.Bottom.Max += offset;
        axesChanged();
    }
}

void TPagedChart::setLeftMin(double value)
{
    if (value > Painter_.Left.Max || value == Painter_.Left.Min)
        return;
    Painter_.Left.Min = value;
    axesChanged();
}

void TPagedChart::setLeftMax(double value)
{
    if (value < Painter_.Left.Min || value == Painter_.Left.Max)
        return;
    Painter_.Left.Max = value;
    axesChanged();
}

void TPagedChart::axesChanged()
{
    FrameValid_ = false;
    update();
}

TPagedChartPainter::TLayout TPagedChart::currentLayout() const
{
    return Painter_.layout(QSizeF(size()), this);
}

QList<QPointF> TPagedChart::drawnPoints() const
{
    const auto [from, to] =
        TPagedChartPainter::pointsInView(Painter_.Bottom.Min, Painter_.Bottom.Max, Points_.count());
    QList<QPointF> list;
    for (qsizetype i = from; i <= to; ++i)
        list.append(QPointF(double(i), Points_.at(i)));
    return list;
}

void TPagedChart::paintChart(QPainter &p)
{
    const qreal ratio = p.device()->devicePixelRatioF();
    if (!FrameValid_ || Frame_.size() != size() * ratio || Frame_.devicePixelRatio() != ratio) {
        Layout_ = Painter_.layout(QSizeF(size()), this);
        Frame_ = QPixmap(size() * ratio);
        Frame_.setDevicePixelRatio(ratio);
        QPainter fp(&Frame_);
        Painter_.paintFrame(fp, Layout_);
        FrameValid_ = true;
    }
    p.drawPixmap(0, 0, Frame_);
    Painter_.paintLine(p, Layout_, Points_);
}

void TPagedChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintChart(p);
}

void TPagedChart::changeEvent(QEvent *event)
{
    // A new font or screen changes the labels' room.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        FrameValid_ = false;
    QWidget::changeEvent(event);
}

QImage TPagedChart::toImage() const
{
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter p(&image);
    Painter_.paint(p, QSizeF(size()), Points_);
    return image;
}

bool TPagedChart::saveBitmap(const QString &fileName, QString *error)
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
