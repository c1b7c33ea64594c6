#pragma once

#include "tchartengine.h"
#include "tchartpoints.h"

#include <QChartView>

class QLineSeries;
class QValueAxis;

// The trend chart on screen: a Qt Charts view with one line series and two value axes. Every
// point stays in the compact store; Series1 only ever holds the points of the window in view
// (and one neighbour each side, so the line runs on to the edges), so a new point or a page
// turn costs one page of points, however long the run. The view catches up once per turn of
// the event loop, so a burst of page moves draws only its end.
class TQtChartEngine : public QChartView, public TChartEngine
{
    Q_OBJECT
public:
    explicit TQtChartEngine(QWidget *parent = nullptr);

    void appendPoint(double value) override;
    void removeAllPoints() override;
    qsizetype pointCount() const override { return Points_.count(); }

    void setBottomMin(double value) override;
    void setBottomMax(double value) override;
    double bottomMin() const override { return BottomMin_; }
    double bottomMax() const override { return BottomMax_; }
    void scrollBottom(double offset) override;

    void setLeftMin(double value) override;
    void setLeftMax(double value) override;

    bool saveBitmap(const QString &fileName, QString *error) override;

    // Brings Series1 and the axes up to date at once, for a caller that draws the chart itself.
    void sync();

    QLineSeries *series() const { return Series1_; }
    QValueAxis *bottomAxis() const { return BottomAxis_; }
    QValueAxis *leftAxis() const { return LeftAxis_; }
    const TChartPoints &points() const { return Points_; }

    // The picture saveBitmap writes: the chart at its on-screen size in device pixels, on white.
    QImage toImage();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleSync();
    void syncSeries();
    void syncAxis(QValueAxis *axis, double min, double max, double minStep, int pixels,
                  int pixelsPerLabel);

    TChartPoints Points_;
    QLineSeries *Series1_ = nullptr;
    QValueAxis *BottomAxis_ = nullptr;
    QValueAxis *LeftAxis_ = nullptr;
    double BottomMin_ = 1.0;
    double BottomMax_ = 100.0;
    double LeftMin_ = -40.0;
    double LeftMax_ = 40.0;
    // X range Series1 holds, inclusive; empty while LoadedTo_ < LoadedFrom_.
    qsizetype LoadedFrom_ = 0;
    qsizetype LoadedTo_ = -1;
    bool Reload_ = true;
    bool SyncPending_ = false;
};
