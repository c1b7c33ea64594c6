#pragma once

#include "ttrendpainter.h"

#include <QImage>
#include <QWidget>
#include <optional>

// The trend window's plot: every reading of the series, explored with the mouse and the keys.
// The wheel zooms the record or time axis about the pointer (with Ctrl the value axis), a drag
// pans, a drag with Shift zooms into its rectangle, a click sets the nearer of two markers;
// Home follows the newest readings again. The value axis follows what is in view unless it is
// fixed, and shows one quantity at a time: the one most readings in view have, unless chosen.
class TTrendPlot : public QWidget
{
    Q_OBJECT
public:
    explicit TTrendPlot(const TTrendSeries &series, QWidget *parent = nullptr);

    const TTrendView &view() const { return View_; }
    const TTrendSeries &series() const { return Series_; }
    bool following() const { return Following_; }
    bool showingAll() const { return All_; }
    bool autoscale() const { return AutoY_; }

    // What is in view, once brought up to date.
    const TTrendSummary &inView() const { return InView_; }
    const TTrendSeries::TOthers &othersInView() const { return Others_; }
    TTrendSummary subInView() const;

    void setByTime(bool on);
    void setLog(bool on);
    void setAutoscale(bool on);
    void setSecondary(bool on);
    // nullopt: the quantity most readings in view have.
    void setQuantity(std::optional<TTrendQuantity> q);
    std::optional<TTrendQuantity> chosenQuantity() const { return Chosen_; }

    void zoomX(double factor, std::optional<double> aboutPixel = std::nullopt);
    void zoomY(double factor, std::optional<double> aboutPixel = std::nullopt);
    void panPixels(double dx, double dy);
    // Follow the newest readings, at the present zoom.
    void home();
    // Every reading in view, and follow them as they come.
    void showAll();
    void clearMarkers();
    // Sets the nearer marker (the first ones in turn) to the reading nearest the pixel column.
    void placeMarker(double pixelX);

    // The reading nearest a pixel column, if any.
    std::optional<qsizetype> readingAt(double pixelX) const;
    // The readout under the pointer and of the markers, as the window shows them.
    QString pointerText() const;
    QString markerText() const;
    QString statsText() const;
    QString notShownText() const;

    // Draws the view as its paint event does, onto any painter of the plot's size.
    void paintTo(QPainter &p);
    // The plot as a picture of ratio device pixels a unit, or as a vector PDF page.
    QImage toImage(qreal ratio) const;
    bool savePdf(const QString &fileName, QString *error) const;

    // The series has grown or been emptied.
    void dataChanged();
    // Brings the axes, the envelopes and the figures up to date now.
    void refresh();

    TTrendPainter::TLayout currentLayout() const { return Layout_; }
    QSize sizeHint() const override { return {900, 480}; }
    QSize minimumSizeHint() const override { return {320, 200}; }

signals:
    // The view, the figures or the readouts changed.
    void viewChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The view as exported (PNG, PDF): without the pointer's crosshair or a dragged rectangle.
    void paintStill(QPainter &p, const QPaintDevice *device) const;
    double newestX() const;
    double firstX() const;
    double readingX(qsizetype i) const;
    void setXRange(double min, double max);
    void followNewest();
    void snapToColumns();
    void chooseQuantity();
    void autoscaleY();
    void changed();

    const TTrendSeries &Series_;
    TTrendView View_;
    TTrendPainter Painter_;
    TTrendPainter::TLayout Layout_;
    TTrendEnvelope Main_;
    TTrendEnvelope Sub_;
    TTrendSummary InView_;
    TTrendSeries::TOthers Others_{};
    std::optional<TTrendQuantity> Chosen_;
    bool Following_ = true;
    bool All_ = true;
    bool AutoY_ = true;
    bool Dirty_ = true;
    bool RefreshPending_ = false;
    std::uint64_t Generation_ = 0;
    // A drag: where it began, and the view then.
    std::optional<QPointF> Press_;
    TTrendView PressView_;
    bool Dragging_ = false;
    bool Rubber_ = false;
};
