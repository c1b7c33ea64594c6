#include "tlcdpictures.h"

#include <QPainter>

namespace {

// Design grids: the link picture is 25 x 24, the battery 16 x 16 (shown stretched to 17 x 17).
constexpr qreal LinkWidth = 25, LinkHeight = 24;
constexpr qreal BatteryGrid = 16;

void paintLink(QPainter &p, bool lit)
{
    const QColor outline(40, 40, 40);
    const QColor screen = lit ? QColor(64, 224, 255) : QColor(48, 56, 64);
    p.setPen(QPen(outline, 1));

    // Computer: monitor on a stand.
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(0.5, 2.5, 14, 11));
    p.setBrush(screen);
    p.drawRect(QRectF(2.5, 4.5, 10, 7));
    p.setBrush(QColor(160, 160, 160));
    p.drawRect(QRectF(6.5, 13.5, 2, 2));
    p.drawRect(QRectF(3.5, 15.5, 8, 1.5));

    // Cable from the computer to the meter.
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{11.5, 17}, {11.5, 20.5}, {16.5, 20.5}}));

    // Meter: a handheld body with its display and keys.
    p.setBrush(QColor(250, 200, 40));
    p.drawRoundedRect(QRectF(16.5, 5.5, 8, 18), 1.5, 1.5);
    p.setBrush(screen);
    p.drawRect(QRectF(17.5, 7.5, 6, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(outline);
    for (const qreal y : {14.0, 17.0, 20.0}) {
        p.drawRect(QRectF(18, y, 2, 1.5));
        p.drawRect(QRectF(21, y, 2, 1.5));
    }
}

void paintBattery(QPainter &p)
{
    const QColor ink(0, 0, 0);
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 4.5, 13, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRect(QRectF(14, 6.5, 2, 4)); // the positive terminal
    p.drawRect(QRectF(9, 8, 3, 1));    // plus, beside the terminal
    p.drawRect(QRectF(10, 7, 1, 3));
    p.drawRect(QRectF(2.5, 8, 3, 1)); // minus
}

} // namespace

TLcdPicture::TLcdPicture(Kind kind, QWidget *parent)
    : QWidget(parent)
    , Kind_(kind)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TLcdPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (Kind_ == Kind::Battery) {
        // Hard pixel edges: the signs are only three pixels wide and blur when smoothed.
        p.scale(width() / BatteryGrid, height() / BatteryGrid);
        paintBattery(p);
    } else {
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(width() / LinkWidth, height() / LinkHeight);
        paintLink(p, Kind_ == Kind::LinkLit);
    }
}
