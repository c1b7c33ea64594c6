#pragma once

#include <cstdint>

class TChartEngine;

// Pages the trend chart: appends the readings, keeps the horizontal axis on one page of
// PageSize points and tracks whether the view follows the newest point or stays where the
// user paged to. Page p shows X from (p - 1) * PageSize + 1 to p * PageSize.
class TChartControl
{
public:
    TChartControl(TChartEngine &Chart, std::int32_t PageSize);

    std::int32_t AddPoint(double Value);
    std::int32_t FirstPage();
    std::int32_t PriorPage();
    std::int32_t NextPage();
    std::int32_t LastPage();
    void SetAxisMin(double Value);
    void SetAxisMax(double Value);
    void SetPageSize(std::int32_t Size);
    std::int32_t Clear();

    std::int32_t CurrentPage() const { return CurrentPage_; }
    std::int32_t PageSize() const { return PageSize_; }
    std::int32_t PageCount() const { return PageCount_; }
    bool Browsing() const { return Browsing_; }
    double AxisMin() const { return AxisMin_; }
    double AxisMax() const { return AxisMax_; }

private:
    void appendZeroPoint();
    void pageForward();
    void pageBack();
    std::int32_t pagesFor(std::int64_t points) const;

    TChartEngine &Chart_;
    std::int32_t CurrentPage_ = 0;
    std::int32_t PageSize_ = 0;
    std::int32_t PageCount_ = 0;
    bool Browsing_ = false;
    double AxisMax_ = 0.0;
    double AxisMin_ = 0.0;
};
