#pragma once

#include "thistogrampainter.h"

#include <QWidget>

// The statistics window's histogram: the picture the summary page draws, on screen.
class THistogramView : public QWidget
{
    Q_OBJECT
public:
    explicit THistogramView(QWidget *parent = nullptr);

    void setPicture(THistogramPicture picture);
    const THistogramPicture &picture() const { return Picture_; }
    const THistogramPainter &painter() const { return Painter_; }
    THistogramPainter::TLayout currentLayout() const;

    QSize sizeHint() const override { return {560, 240}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    THistogramPicture Picture_;
    THistogramPainter Painter_;
};
