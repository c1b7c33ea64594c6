#pragma once

#include "tchartengine.h"
#include "tchartpoints.h"
#include "tpagedchartpainter.h"

#include <QPixmap>
#include <QWidget>

// The trend chart on screen, painted by us. Every point stays in the compact store; a paint
// draws only the window in view (and one neighbour each side, so the line runs on to the
// edges), over a cached picture of the axes that is redrawn only when a scale or the size
// changes. So a new point costs one page of line, however long the run. The chart only shows:
// it takes no mouse input besides its context menu.
class TPagedChart : public QWidget, public TChartEngine
{
    Q_OBJECT
public:
    explicit TPagedChart(QWidget *parent = nullptr);

    void appendPoint(double value) override;
    void removeAllPoints() override;
    qsizetype pointCount() const override { return Points_.count(); }

    void setBottomMin(double value) override;
    void setBottomMax(double value) override;
    double bottomMin() const override { return Painter_.Bottom.Min; }
    double bottomMax() const override { return Painter_.Bottom.Max; }
    void scrollBottom(double offset) override;

    void setLeftMin(double value) override;
    void setLeftMax(double value) override;
    double leftMin() const { return Painter_.Left.Min; }
    double leftMax() const { return Painter_.Left.Max; }

    bool saveBitmap(const QString &fileName, QString *error) override;

    const TChartPoints &points() const { return Points_; }
    // What the chart looks like and how it is laid out at its present size.
    const TPagedChartPainter &painter() const { return Painter_; }
    TPagedChartPainter::TLayout currentLayout() const;
    // The points the line is drawn through now, as (X, value).
    QList<QPointF> drawnPoints() const;

    // The picture saveBitmap writes: the chart at its on-screen size in device pixels, on white.
    QImage toImage() const;
    // Draws the chart as a paint would, onto any painter of the chart's size.
    void paintChart(QPainter &p);

    QSize sizeHint() const override { return {400, 300}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void axesChanged();

    TChartPoints Points_;
    TPagedChartPainter Painter_;
    // The ground, grid and labels, drawn once per scale and size.
    QPixmap Frame_;
    bool FrameValid_ = false;
    TPagedChartPainter::TLayout Layout_;
};
