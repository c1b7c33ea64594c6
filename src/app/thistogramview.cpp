#include "thistogramview.h"

#include <QEvent>
#include <QPainter>

THistogramView::THistogramView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    Painter_.LabelFont = font();
    Painter_.TitleFont = font();
    Painter_.TitleFont.setBold(true);
}

void THistogramView::setPicture(THistogramPicture picture)
{
    Picture_ = std::move(picture);
    update();
}

THistogramPainter::TLayout THistogramView::currentLayout() const
{
    return Painter_.layout(Picture_, QRectF(rect()), this);
}

void THistogramView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    Painter_.paint(p, Picture_, QRectF(rect()));
}

void THistogramView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        Painter_.LabelFont = font();
        Painter_.TitleFont = font();
        Painter_.TitleFont.setBold(true);
    }
    QWidget::changeEvent(event);
}
