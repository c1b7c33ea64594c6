#pragma once

#include "ttrendenvelope.h"
#include "ttrendseries.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

class QPaintDevice;
class QPainter;

// What the trend window shows: the stretch of readings, the value axis of each trace, the
// markers and the pointer. Plain data: the window changes it, the painter draws it.
struct TTrendView
{
    bool ByTime = false;
    double XMin = 0; // record numbers, or ms since 1970 by time
    double XMax = 100;
    TTrendQuantity Quantity = TTrendQuantity::None;
    QString ModeName; // "Cs", shown before the quantity on the value axis
    bool Log = false;
    double YMin = 0; // base units
    double YMax = 1;
    bool Secondary = false;
    TTrendQuantity SubQuantity = TTrendQuantity::None;
    double SubMin = 0;
    double SubMax = 1;
    std::optional<qsizetype> MarkerA; // reading indexes
    std::optional<qsizetype> MarkerB;
    std::optional<QPointF> Pointer; // the crosshair, in the picture's coordinates
    std::optional<QRectF> Rubber;   // a rectangle being dragged out to zoom into
};

// Draws the trend: grid, the record-number or time axis, the value axis in the reading's unit
// (SI prefixes, linear or logarithmic), the main trace and on demand the secondary one on an
// axis of its own at the right, status words as gaps, the markers and the crosshair. A view
// with more readings than pixel columns is drawn from the envelope (lowest and highest reading
// of each column, as a scope draws), so a million readings cost as much as a thousand.
class TTrendPainter
{
public:
    TTrendPainter();

    QColor MainColor;
    QColor SubColor;
    QColor GapColor;
    QColor GridColor;
    QColor MarkerColor;
    QFont LabelFont;
    QFont TitleFont;

    struct TTick
    {
        double At; // in the axis' own units
        QString Text;
        QString Second; // a date under a clock time
    };
    struct TLayout
    {
        QSizeF Size;
        QRectF Plot;
        qreal Ratio = 1; // device pixels per unit: the envelope has one column per device pixel
        std::vector<TTick> XTicks;
        std::vector<TTick> YTicks;
        std::vector<TTick> SubTicks;
        QString XTitle;
        QString YTitle;
        QString SubTitle;
        int YExponent = 0; // the SI prefix of the linear value axis
    };
    TLayout layout(const TTrendView &v, const QSizeF &size, const QPaintDevice *device) const;

    // How the plot's pixel columns map readings for the envelope.
    static TTrendMapping mapping(const TTrendView &v, const TLayout &l);
    // Pixel positions and back.
    static double xToPixel(const TTrendView &v, const TLayout &l, double x);
    static double pixelToX(const TTrendView &v, const TLayout &l, double px);
    static double yToPixel(const TTrendView &v, const TLayout &l, double y);
    static double pixelToY(const TTrendView &v, const TLayout &l, double py);
    static double subToPixel(const TTrendView &v, const TLayout &l, double y);

    // Draws everything; main and sub are the envelopes of the two traces under mapping(),
    // already brought up to date (sub may be null when the secondary trace is off).
    void paint(QPainter &p, const TTrendView &v, const TLayout &l, const TTrendSeries &s,
               const TTrendEnvelope &main, const TTrendEnvelope *sub) const;

    // Whether a view shows its readings one by one rather than as an envelope.
    static bool sparse(const TTrendEnvelope &e, const TLayout &l);

private:
    void paintTrace(QPainter &p, const TTrendView &v, const TLayout &l, const TTrendSeries &s,
                    const TTrendEnvelope &e, int channel, TTrendQuantity q, const QColor &color,
                    bool bands) const;
};
