#include "trecordreport.h"

#include "trecordtable.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// What a box shows.
enum class TContent { Literal, Date, Time, PageOfTotal, Field };

// One text box as the layout stores it: whole millimetres, relative to its band.
struct TBoxLayout
{
    const char *Name;
    int Left, Top, Width, Height;
    TContent Content;
    const char *Text; // the literal, or the field's name in the layout
    Qt::Alignment Align;
    bool Frame;
    bool Large = false; // the title's 12-point face instead of the report's 10-point one
};

// How a text wider than its box is shown.
enum class TFit {
    Cut,    // one line from its start, cut at the box's edge
    Shrink, // whole, in a smaller face: a number or a date cut short would tell a lie
};

constexpr Qt::Alignment LeftTop = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment Centred = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr Qt::Alignment CentreBottom = Qt::AlignHCenter | Qt::AlignBottom;
constexpr Qt::Alignment RightBottom = Qt::AlignRight | Qt::AlignBottom;

// Band heights in millimetres; every band is 200 mm wide.
constexpr int TitleHeightMm = 18;
constexpr int HeaderHeightMm = 6;
constexpr int DataHeightMm = 6;
constexpr int FooterHeightMm = 6;

const TBoxLayout ReportTitle1[] = {
    {"frphTitle", 79, 1, 42, 5, TContent::Literal, "Data", Qt::AlignHCenter | Qt::AlignTop, false,
     true},
    {"Memo11", 162, 12, 19, 5, TContent::Date, "", LeftTop, false},
    {"Memo10", 181, 12, 12, 5, TContent::Time, "", LeftTop, false},
};

const TBoxLayout PageHeader1[] = {
    {"frphNO", 1, 0, 14, 6, TContent::Literal, "NO.", Centred, true},
    {"frphTime", 15, 0, 35, 6, TContent::Literal, "Time", Centred, true},
    {"frphFunction", 50, 0, 22, 6, TContent::Literal, "MMode", Centred, true},
    {"Memo1", 72, 0, 22, 6, TContent::Literal, "MValue", Centred, true},
    {"Memo2", 94, 0, 22, 6, TContent::Literal, "MUnit", Centred, true},
    {"Memo3", 116, 0, 22, 6, TContent::Literal, "SMode", Centred, true},
    {"Memo4", 138, 0, 22, 6, TContent::Literal, "SValue", Centred, true},
    {"Memo5", 160, 0, 22, 6, TContent::Literal, "SUnit", Centred, true},
    {"Memo6", 182, 0, 18, 6, TContent::Literal, "Freq", Centred, true},
};

const TBoxLayout MasterData1[] = {
    {"frxDBDataset1ANo", 1, 0, 14, 6, TContent::Field, "ANo", RightBottom, true},
    {"frxDBDataset1ATime", 15, 0, 35, 6, TContent::Field, "aTime", CentreBottom, true},
    {"frxDBDataset1AFunction", 50, 0, 22, 6, TContent::Field, "aMMode", CentreBottom, true},
    {"Memo7", 72, 0, 22, 6, TContent::Field, "aMValue", CentreBottom, true},
    {"Memo8", 94, 0, 22, 6, TContent::Field, "aMUnit", CentreBottom, true},
    {"Memo9", 116, 0, 22, 6, TContent::Field, "aSMode", CentreBottom, true},
    {"Memo13", 138, 0, 22, 6, TContent::Field, "aSValue", CentreBottom, true},
    {"Memo14", 160, 0, 22, 6, TContent::Field, "aSUnit", CentreBottom, true},
    {"Memo15", 182, 0, 18, 6, TContent::Field, "aFreq", Centred, true},
};

const TBoxLayout PageFooter1[] = {
    {"Memo12", 175, 1, 25, 5, TContent::PageOfTotal, "", LeftTop, false},
};

// Text keeps this far from a box's left and right, and its top and bottom, edges.
constexpr double InsetX = 2;
constexpr double InsetY = 1;

double units(int mm)
{
    return mm * TRecordReport::UnitsPerMm;
}

QFont reportFont(int pixels)
{
    // Arial; where it is missing its metric twin, Liberation Sans (fontconfig's choice on
    // Linux), so the texts fill their boxes as the layout was drawn. Unhinted, so a line breaks
    // at the same place on the screen, in a PDF and on paper.
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

// The layout resolved once: boxes in report units, fields found by name, fonts measured.
struct TRecordReport::TLayout
{
    struct TBox
    {
        QRectF Rect;
        TContent Content;
        QString Text;
        int Field;
        Qt::Alignment Align;
        bool Frame;
        bool Large;
        TFit Fit;
    };

    static std::vector<TBox> band(const TBoxLayout *layouts, std::size_t count)
    {
        std::vector<TBox> boxes;
        for (std::size_t i = 0; i < count; ++i) {
            const TBoxLayout &s = layouts[i];
            const QString text = QString::fromLatin1(s.Text);
            const int field = s.Content == TContent::Field ? TRecordTable::FieldIndex(text) : -1;
            const bool whole = s.Content == TContent::Date || s.Content == TContent::Time
                               || s.Content == TContent::PageOfTotal
                               || (s.Content == TContent::Field && field == TRecordTable::aNO);
            boxes.push_back({QRectF(units(s.Left), units(s.Top), units(s.Width), units(s.Height)),
                             s.Content, text, field, s.Align, s.Frame, s.Large,
                             whole ? TFit::Shrink : TFit::Cut});
        }
        return boxes;
    }

    TLayout()
        : Font(reportFont(13))
        , TitleFont(reportFont(16))
        , Metrics(Font)
        , TitleMetrics(TitleFont)
        , Title(band(ReportTitle1, std::size(ReportTitle1)))
        , Header(band(PageHeader1, std::size(PageHeader1)))
        , Data(band(MasterData1, std::size(MasterData1)))
        , Footer(band(PageFooter1, std::size(PageFooter1)))
    {
        for (const TBox &box : Data)
            if (box.Frame)
                DataFrames.push_back(box.Rect);
        for (const TBox &box : Header)
            if (box.Frame)
                HeaderFrames.push_back(box.Rect);
    }

    QFont Font;
    QFont TitleFont;
    QFontMetricsF Metrics;
    QFontMetricsF TitleMetrics;
    std::vector<TBox> Title;
    std::vector<TBox> Header;
    std::vector<TBox> Data;
    std::vector<TBox> Footer;
    std::vector<QRectF> HeaderFrames;
    std::vector<QRectF> DataFrames;
    const double TitleHeight = units(TitleHeightMm);
    const double HeaderHeight = units(HeaderHeightMm);
    const double DataHeight = units(DataHeightMm);
    const double FooterHeight = units(FooterHeightMm);
};

namespace {

double alignedX(const QRectF &inner, double width, Qt::Alignment align)
{
    if (align & Qt::AlignRight)
        return inner.right() - width;
    if (align & Qt::AlignHCenter)
        return inner.left() + (inner.width() - width) / 2;
    return inner.left();
}

double alignedTop(const QRectF &inner, double height, Qt::Alignment align)
{
    if (align & Qt::AlignBottom)
        return inner.bottom() - height;
    if (align & Qt::AlignVCenter)
        return inner.top() + (inner.height() - height) / 2;
    return inner.top();
}

// The longest start of text, in whole characters, no wider than width.
QString fittingStart(const QString &text, const QFontMetricsF &metrics, double width)
{
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype fits = 0;
    for (qsizetype at = characters.toNextBoundary(); at > 0; at = characters.toNextBoundary()) {
        if (metrics.horizontalAdvance(text.left(at)) > width)
            break;
        fits = at;
    }
    return text.left(fits);
}

// A text inside its box, always on one line: where it is too wide, a number or a date shrinks
// to fit and any other text is cut at the box's edge, whole characters only, so what the page
// holds as text is exactly what it shows.
void drawBoxText(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment align,
                 TFit fit, const QFontMetricsF &metrics)
{
    if (text.isEmpty())
        return;
    const QRectF inner = box.adjusted(InsetX, InsetY, -InsetX, -InsetY);
    const double width = metrics.horizontalAdvance(text);
    if (width <= inner.width()) {
        const double top = alignedTop(inner, metrics.height(), align);
        painter.drawText(QPointF(alignedX(inner, width, align), top + metrics.ascent()), text);
        return;
    }
    if (fit == TFit::Shrink) {
        const double scale = inner.width() / width;
        painter.save();
        painter.translate(inner.left(), alignedTop(inner, metrics.height() * scale, align));
        painter.scale(scale, scale);
        painter.drawText(QPointF(0, metrics.ascent()), text);
        painter.restore();
        return;
    }
    // From its start, up to the box's edge: the inset on the right is given to the text.
    const QString shown = fittingStart(text, metrics, box.right() - inner.left());
    const double top = alignedTop(inner, metrics.height(), align);
    painter.drawText(QPointF(inner.left(), top + metrics.ascent()), shown);
}

} // namespace

// --- TReportPages ------------------------------------------------------------------------------

int TReportPages::Count() const
{
    if (Rows <= FirstPageRows)
        return 1;
    const qsizetype later = (Rows - FirstPageRows + LaterPageRows - 1) / LaterPageRows;
    return int(std::min<qsizetype>(later + 1, std::numeric_limits<int>::max()));
}

qsizetype TReportPages::FirstRow(int page) const
{
    if (page <= 0)
        return 0;
    return FirstPageRows + qsizetype(page - 1) * LaterPageRows;
}

int TReportPages::RowsOn(int page) const
{
    if (page < 0)
        return 0;
    const qsizetype first = FirstRow(page);
    const qsizetype capacity = page == 0 ? FirstPageRows : LaterPageRows;
    return int(std::clamp<qsizetype>(Rows - first, 0, capacity));
}

// --- TRecordReport -----------------------------------------------------------------------------

QPageLayout TRecordReport::DefaultPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 10, 5, 10),
                       QPageLayout::Millimeter);
}

QSizeF TRecordReport::PrintableSize(const QPageLayout &layout)
{
    // Millimetres keep the whole-millimetre margins exact; inches are rounded to hundredths.
    return layout.paintRect(QPageLayout::Millimeter).size() * UnitsPerMm;
}

TRecordReport::TRecordReport()
    : Layout_(std::make_unique<const TLayout>())
{}

TRecordReport::~TRecordReport() = default;

QDateTime TRecordReport::Now()
{
    bool ok = false;
    const qint64 seconds = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&ok);
    return ok && seconds >= 0 ? QDateTime::fromSecsSinceEpoch(seconds)
                              : QDateTime::currentDateTime();
}

void TRecordReport::Prepare(const TRecordTable &table, const QDateTime &now)
{
    Table_ = &table;
    Rows_ = table.RecordCount();
    DateText_ = QLocale::system().toString(now.date(), QLocale::ShortFormat);
    TimeText_ = now.toString(QStringLiteral("HH:mm"));
}

void TRecordReport::Clear()
{
    Table_ = nullptr;
    Rows_ = 0;
    DateText_.clear();
    TimeText_.clear();
}

TReportPages TRecordReport::Pages(const QSizeF &printable) const
{
    const TLayout &l = *Layout_;
    // A row either fits whole or goes to the next page; a little slack keeps the rounding of
    // millimetres into units from losing a row that fits exactly.
    const auto fit = [&](double space) {
        const double rows = std::floor(space / l.DataHeight + 1e-6);
        return int(std::clamp(rows, 1.0, 1e6)); // even a tiny page makes progress
    };
    TReportPages pages;
    pages.Rows = Rows_;
    pages.FirstPageRows = fit(printable.height() - l.TitleHeight - l.HeaderHeight - l.FooterHeight);
    pages.LaterPageRows = fit(printable.height() - l.HeaderHeight - l.FooterHeight);
    return pages;
}

void TRecordReport::DrawPage(QPainter &painter, int page, const QSizeF &printable) const
{
    const TLayout &l = *Layout_;
    const TReportPages pages = Pages(printable);
    const QString pageText = QStringLiteral("%1/%2").arg(page + 1).arg(pages.Count());

    const auto textOf = [&](const TLayout::TBox &box, qsizetype row) -> QString {
        switch (box.Content) {
        case TContent::Literal:
            return box.Text;
        case TContent::Date:
            return DateText_;
        case TContent::Time:
            return TimeText_;
        case TContent::PageOfTotal:
            return pageText;
        case TContent::Field:
            // A null field, a field the table lacks and a row it has lost meanwhile print empty.
            return Table_ && box.Field >= 0 ? Table_->TextAt(row, box.Field) : QString();
        }
        return QString();
    };
    const auto drawBand = [&](const std::vector<TLayout::TBox> &boxes,
                              const std::vector<QRectF> &frames, double top, qsizetype row) {
        painter.save();
        painter.translate(0, top);
        if (!frames.empty())
            painter.drawRects(frames.data(), int(frames.size()));
        bool large = false;
        painter.setFont(l.Font);
        for (const TLayout::TBox &box : boxes) {
            if (box.Large != large) {
                large = box.Large;
                painter.setFont(large ? l.TitleFont : l.Font);
            }
            drawBoxText(painter, box.Rect, textOf(box, row), box.Align, box.Fit,
                        large ? l.TitleMetrics : l.Metrics);
        }
        painter.restore();
    };

    painter.save();
    painter.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    double y = 0;
    if (page == 0) {
        drawBand(l.Title, {}, y, -1);
        y += l.TitleHeight;
    }
    drawBand(l.Header, l.HeaderFrames, y, -1);
    y += l.HeaderHeight;
    const qsizetype first = pages.FirstRow(page);
    const int rows = pages.RowsOn(page);
    for (int i = 0; i < rows; ++i) {
        drawBand(l.Data, l.DataFrames, y, first + i);
        y += l.DataHeight;
    }
    drawBand(l.Footer, {}, printable.height() - l.FooterHeight, -1);
    painter.restore();
}
