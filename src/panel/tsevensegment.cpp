#include "tsevensegment.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>

namespace {

const QString Dseg7 = QStringLiteral("DSEG7 Classic");
const QString Dseg14 = QStringLiteral("DSEG14 Classic");

// DSEG7 draws letters as lower-case segment shapes that make "PASS" and "SHORT" hard to read,
// so any text with a letter goes to DSEG14, whose letters are whole; numbers stay in DSEG7,
// whose "," is narrow enough for five digits and a separator to fit the box.
bool hasLetter(const QString &text)
{
    for (const QChar c : text) {
        if (c.isLetter())
            return true;
    }
    return false;
}

// Segment bits: a top, b upper right, c lower right, d bottom, e lower left, f upper left,
// g middle.
enum : unsigned { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };

unsigned segmentsOf(QChar ch)
{
    switch (ch.toUpper().unicode()) {
    case '0':
        return A | B | C | D | E | F;
    case '1':
        return B | C;
    case '2':
        return A | B | D | E | G;
    case '3':
        return A | B | C | D | G;
    case '4':
        return B | C | F | G;
    case '5':
    case 'S':
        return A | C | D | F | G;
    case '6':
        return A | C | D | E | F | G;
    case '7':
        return A | B | C;
    case '8':
        return A | B | C | D | E | F | G;
    case '9':
        return A | B | C | D | F | G;
    case '-':
        return G;
    case 'A':
        return A | B | C | E | F | G;
    case 'B':
        return C | D | E | F | G;
    case 'C':
        return A | D | E | F;
    case 'D':
        return B | C | D | E | G;
    case 'E':
        return A | D | E | F | G;
    case 'F':
        return A | E | F | G;
    case 'G':
        return A | C | D | E | F;
    case 'H':
        return B | C | E | F | G;
    case 'I':
        return E | F;
    case 'J':
        return B | C | D;
    case 'L':
        return D | E | F;
    case 'N':
        return C | E | G;
    // A lower-case o keeps "OL" apart from the secondary display's "0L".
    case 'O':
        return C | D | E | G;
    case 'P':
        return A | B | E | F | G;
    case 'R':
        return E | G;
    case 'T':
        return D | E | F | G;
    case 'U':
        return B | C | D | E | F;
    case 'Y':
        return B | C | D | F | G;
    default:
        return 0;
    }
}

bool isPoint(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(',');
}

QPolygonF horizontalSegment(qreal x0, qreal x1, qreal y, qreal t)
{
    const qreal h = t / 2;
    return QPolygonF(
        {{x0, y}, {x0 + h, y - h}, {x1 - h, y - h}, {x1, y}, {x1 - h, y + h}, {x0 + h, y + h}});
}

QPolygonF verticalSegment(qreal y0, qreal y1, qreal x, qreal t)
{
    const qreal h = t / 2;
    return QPolygonF(
        {{x, y0}, {x + h, y0 + h}, {x + h, y1 - h}, {x, y1}, {x - h, y1 - h}, {x - h, y0 + h}});
}

void paintCell(QPainter &p, qreal x, qreal y, qreal w, qreal h, unsigned segs)
{
    const qreal t = h * 0.12;
    const qreal gap = t * 0.2;
    const qreal xl = x + t / 2, xr = x + w - t / 2;
    const qreal yt = y + t / 2, ym = y + h / 2, yb = y + h - t / 2;
    QPainterPath path;
    const auto add = [&path](const QPolygonF &poly) { path.addPolygon(poly), path.closeSubpath(); };
    if (segs & A)
        add(horizontalSegment(xl + gap, xr - gap, yt, t));
    if (segs & G)
        add(horizontalSegment(xl + gap, xr - gap, ym, t));
    if (segs & D)
        add(horizontalSegment(xl + gap, xr - gap, yb, t));
    if (segs & F)
        add(verticalSegment(yt + gap, ym - gap, xl, t));
    if (segs & B)
        add(verticalSegment(yt + gap, ym - gap, xr, t));
    if (segs & E)
        add(verticalSegment(ym + gap, yb - gap, xl, t));
    if (segs & C)
        add(verticalSegment(ym + gap, yb - gap, xr, t));
    p.fillPath(path, p.pen().color());
}

} // namespace

void PaintSegmentText(QPainter &p, const QRectF &area, const QString &text, qreal digitHeight)
{
    if (text.isEmpty())
        return;
    const qreal h = digitHeight;
    const qreal cellWidth = h * 0.5;
    const qreal spacing = h * 0.2; // the decimal point sits in the middle of this gap
    const qreal advance = cellWidth + spacing;
    const qreal spaceAdvance = advance / 4;
    const qreal dot = h * 0.1;

    // A point before the first or after the last cell reaches half a dot past the cells.
    const qreal lead = isPoint(text.front()) ? dot / 2 : 0;
    const qreal trail = isPoint(text.back()) ? dot / 2 : 0;
    qreal total = lead + trail;
    for (const QChar c : text)
        total += isPoint(c) ? 0 : c == QLatin1Char(' ') ? spaceAdvance : advance;

    p.save();
    // Too long a text is narrowed rather than cut, so every cell stays readable.
    const qreal squeeze = total > area.width() ? area.width() / total : 1.0;
    // The digits and the comma's tail below them are centred together.
    p.translate(area.right(), area.center().y() - (h + dot) / 2);
    p.scale(squeeze, 1.0);
    p.setRenderHint(QPainter::Antialiasing);
    qreal x = -total + lead;
    for (const QChar c : text) {
        if (isPoint(c)) {
            const QRectF r(x - dot / 2, h - dot, dot, dot);
            p.fillRect(r, p.pen().color());
            if (c == QLatin1Char(','))
                p.fillRect(QRectF(r.left(), h, dot / 2, dot), p.pen().color());
            continue;
        }
        if (c == QLatin1Char(' ')) {
            x += spaceAdvance;
            continue;
        }
        paintCell(p, x + spacing / 2, 0, cellWidth, h, segmentsOf(c));
        x += advance;
    }
    p.restore();
}

TSevenSegment::TSevenSegment(int pixelHeight, QWidget *parent)
    : QLineEdit(parent)
{
    QFont f(HasSegmentFonts() ? Dseg7 : font().family());
    f.setPixelSize(pixelHeight);
    setFont(f);
    setReadOnly(true);
    setFrame(false);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setCursor(Qt::ArrowCursor);
    // An LCD offers nothing to copy or edit, and its menu would hold the focus the box gives up.
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool TSevenSegment::HasSegmentFonts()
{
    static const bool has = [] {
        const QStringList families = QFontDatabase::families();
        return families.contains(Dseg7) && families.contains(Dseg14);
    }();
    return has;
}

void TSevenSegment::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QString t = text();
    if (t.isEmpty())
        return;
    p.setPen(palette().color(QPalette::Text));
    // A little room at the right edge, as the LCD glass has, and none taken elsewhere.
    const qreal margin = font().pixelSize() * 0.06;
    const QRectF area = QRectF(rect()).adjusted(margin, 1, -margin, -1);
    if (HasSegmentFonts())
        paintWithFont(p, area, t);
    else
        PaintSegmentText(p, area, t, font().pixelSize() * 0.86);
}

void TSevenSegment::paintWithFont(QPainter &p, const QRectF &area, const QString &text)
{
    QFont digits(Dseg7);
    digits.setPixelSize(font().pixelSize());
    // DSEG digits fill the whole character height and a comma hangs below them, so the cell is
    // shrunk until a digit with its comma fits the box: every text then sits at one height and
    // no tail is ever cut. Outline bounds, since the metrics give "." no ink at all.
    if (Cell_.isEmpty()) {
        QPainterPath cellPath;
        cellPath.addText(0, 0, digits, QStringLiteral("8,"));
        Cell_ = cellPath.boundingRect();
    }
    const QRectF cell = Cell_;
#ifdef Q_OS_WIN
    // Windows' font engines shade a pixel beyond the outline at its top and bottom edges.
    const qreal room = area.height() - 1;
#else
    const qreal room = area.height();
#endif
    const qreal scale = std::min<qreal>(1.0, room / cell.height());

    QFont f = digits;
    if (hasLetter(text))
        f.setFamily(Dseg14);
    qreal width = QFontMetricsF(f).horizontalAdvance(text);
    // A point after the last digit hangs past the advance: align on the ink then.
    if (isPoint(text.back())) {
        QPainterPath textPath;
        textPath.addText(0, 0, f, text);
        width = std::max(width, textPath.boundingRect().right());
    }
    // Too long a text ("SHORT " in the small box) is narrowed rather than cut.
    const qreal scaleX = std::min(scale, area.width() / width);

    p.save();
    p.setFont(f);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.translate(area.right(), area.center().y() - scale * (cell.top() + cell.bottom()) / 2);
    p.scale(scaleX, scale);
    p.drawText(QPointF(-width, 0), text);
    p.restore();
}

void TSevenSegment::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    emit entered();
}
