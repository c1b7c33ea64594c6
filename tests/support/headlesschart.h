#pragma once

// A chart without a window: keeps its points in the same store as the window's chart and
// scrolls with the same limit check.

#include "tchartengine.h"
#include "tchartpoints.h"

#include <QList>
#include <QPair>
#include <QString>

class THeadlessChart : public TChartEngine
{
public:
    void appendPoint(double value) override { Points.append(value); }
    void removeAllPoints() override { Points.clear(); }
    qsizetype pointCount() const override { return Points.count(); }
    void setBottomMin(double value) override
    {
        if (value <= Max)
            Min = value;
    }
    void setBottomMax(double value) override
    {
        if (value >= Min)
            Max = value;
    }
    double bottomMin() const override { return Min; }
    double bottomMax() const override { return Max; }
    void scrollBottom(double offset) override
    {
        if ((offset > 0 && Points.hasXAbove(Max)) || (offset < 0 && Points.hasXBelow(Min))) {
            Min += offset;
            Max += offset;
        }
    }
    void setLeftMin(double value) override { LeftCalls.append({QStringLiteral("min"), value}); }
    void setLeftMax(double value) override { LeftCalls.append({QStringLiteral("max"), value}); }
    bool saveBitmap(const QString &, QString *) override { return false; }

    TChartPoints Points;
    // Chosen apart from what the controller sets, so a missing set shows.
    double Min = -7;
    double Max = -3;
    QList<QPair<QString, double>> LeftCalls;
};
