#include "timagelist.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const char *const ThemeNames[ImageCount] = {
    "go-first", "go-previous", "go-next",       "go-last",     "document-new",   "document-save",
    "zoom-out", "zoom-in",     "document-open", "folder-open", "document-print", "go-jump",
    "zoom-in",  "zoom-out",    "zoom-in",       "zoom-out",
};

void triangle(QPainter &p, double x, double y, bool right, const QColor &c)
{
    QPainterPath path;
    if (right) {
        path.moveTo(x, y);
        path.lineTo(x + 5, y + 4.5);
        path.lineTo(x, y + 9);
    } else {
        path.moveTo(x + 5, y);
        path.lineTo(x, y + 4.5);
        path.lineTo(x + 5, y + 9);
    }
    path.closeSubpath();
    p.fillPath(path, c);
}

void magnifier(QPainter &p, const QColor &rim, const QColor &glass, bool plus)
{
    p.setPen(QPen(rim, 1.6));
    p.setBrush(glass);
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(rim, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    p.setPen(QPen(rim, 1.4));
    p.drawLine(QPointF(3.8, 6), QPointF(8.2, 6));
    if (plus)
        p.drawLine(QPointF(6, 3.8), QPointF(6, 8.2));
}

void folder(QPainter &p, const QColor &body, const QColor &flap)
{
    p.setPen(QPen(body.darker(170), 1));
    p.setBrush(body);
    p.drawRect(QRectF(1.5, 3.5, 11, 10));
    p.setBrush(flap);
    QPainterPath open;
    open.moveTo(3.5, 6.5);
    open.lineTo(15, 6.5);
    open.lineTo(12.5, 13.5);
    open.lineTo(1.5, 13.5);
    open.closeSubpath();
    p.drawPath(open);
}

// Everything is drawn on a 16-unit grid and scaled, so the 32-pixel copy is as sharp.
void paintIcon(QPainter &p, int index)
{
    const QColor blue(0, 64, 192);
    switch (index) {
    case iiFirst:
        p.fillRect(QRectF(2, 3.5, 2, 9), blue);
        triangle(p, 4.5, 3.5, false, blue);
        triangle(p, 9.5, 3.5, false, blue);
        break;
    case iiPrevious:
        triangle(p, 3, 3.5, false, blue);
        triangle(p, 8, 3.5, false, blue);
        break;
    case iiNext:
        triangle(p, 3, 3.5, true, blue);
        triangle(p, 8, 3.5, true, blue);
        break;
    case iiLast:
        triangle(p, 1.5, 3.5, true, blue);
        triangle(p, 6.5, 3.5, true, blue);
        p.fillRect(QRectF(12, 3.5, 2, 9), blue);
        break;
    case iiBlankPage: {
        QPainterPath page;
        page.moveTo(3.5, 1.5);
        page.lineTo(10, 1.5);
        page.lineTo(13.5, 5);
        page.lineTo(13.5, 14.5);
        page.lineTo(3.5, 14.5);
        page.closeSubpath();
        p.setPen(QPen(Qt::darkGray, 1));
        p.setBrush(Qt::white);
        p.drawPath(page);
        p.drawLine(QPointF(10, 1.5), QPointF(10, 5));
        p.drawLine(QPointF(10, 5), QPointF(13.5, 5));
        break;
    }
    case iiFloppy:
        p.setPen(QPen(QColor(20, 20, 80), 1));
        p.setBrush(QColor(40, 60, 160));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.fillRect(QRectF(4, 2, 8, 5), Qt::white);
        p.fillRect(QRectF(5, 10, 6, 4.5), QColor(190, 190, 190));
        p.fillRect(QRectF(9, 3, 2, 3), QColor(40, 60, 160));
        break;
    case iiZoomOut:
        magnifier(p, QColor(60, 60, 60), QColor(200, 230, 255), false);
        break;
    case iiZoomIn:
        magnifier(p, QColor(60, 60, 60), QColor(200, 230, 255), true);
        break;
    case iiFolderYellow:
        folder(p, QColor(230, 190, 60), QColor(250, 220, 110));
        break;
    case iiFolderGrey:
        folder(p, QColor(150, 150, 150), QColor(200, 200, 200));
        break;
    case iiPrinter:
        p.setPen(QPen(QColor(50, 50, 50), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(QRectF(1.5, 6.5, 13, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        p.fillRect(QRectF(11.5, 8, 2, 1.5), QColor(0, 160, 0));
        break;
    case iiGo: {
        QFont f;
        f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(0, 128, 0));
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("GO"));
        break;
    }
    case iiBlackZoomIn:
    case iiEnlarge:
        magnifier(p, Qt::black, Qt::white, true);
        break;
    case iiBlackZoomOut:
    case iiShrink:
        magnifier(p, Qt::black, Qt::white, false);
        break;
    default:
        break;
    }
}

QPixmap render(int index, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    paintIcon(p, index);
    return pm;
}

} // namespace

QIcon DrawnToolIcon(int index)
{
    QIcon icon;
    icon.addPixmap(render(index, 16));
    icon.addPixmap(render(index, 32));
    return icon;
}

QIcon ToolIcon(int index)
{
    if (index < 0 || index >= ImageCount)
        return {};
    return QIcon::fromTheme(QLatin1String(ThemeNames[index]), DrawnToolIcon(index));
}

QIcon ProgramIcon()
{
    // The very pictures the desktop entry installs, so the window and the menu look alike.
    QIcon icon;
    for (int size : ProgramIconSizes)
        icon.addFile(QStringLiteral(":/icons/lumetra-%1.png").arg(size), QSize(size, size));
    return icon;
}
