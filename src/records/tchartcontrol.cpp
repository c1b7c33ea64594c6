#include "tchartcontrol.h"

#include "tchartengine.h"

#include <algorithm>

TChartControl::TChartControl(TChartEngine &Chart, std::int32_t PageSize)
    : Chart_(Chart)
{
    // A page of no points would divide by zero on the first reading.
    SetPageSize(std::max<std::int32_t>(PageSize, 1));
    Chart_.setBottomMin(1);
    Chart_.setBottomMax(PageSize_);
    PageCount_ = 1;
    CurrentPage_ = 1;
    // The zero point sits at X = 0, left of page 1, so reading k lands at X = k; it is also what
    // lets the view scroll back to page 1 once it has moved on.
    appendZeroPoint();
}

std::int32_t TChartControl::AddPoint(double Value)
{
    Chart_.appendPoint(Value);
    PageCount_ = pagesFor(Chart_.pointCount());
    if (!Browsing_) {
        pageForward();
        CurrentPage_ = PageCount_;
    }
    return CurrentPage_;
}

std::int32_t TChartControl::FirstPage()
{
    if (PageCount_ <= 1 || CurrentPage_ == 1)
        return CurrentPage_;
    for (std::int32_t i = 1; i < CurrentPage_; ++i)
        pageBack();
    CurrentPage_ = 1;
    Browsing_ = true;
    return 1;
}

std::int32_t TChartControl::PriorPage()
{
    if (CurrentPage_ > 1) {
        pageBack();
        --CurrentPage_;
        Browsing_ = true;
    }
    return CurrentPage_;
}

std::int32_t TChartControl::NextPage()
{
    if (PageCount_ > 1 && CurrentPage_ != PageCount_) {
        pageForward();
        ++CurrentPage_;
        Browsing_ = CurrentPage_ != PageCount_;
    }
    return CurrentPage_;
}

std::int32_t TChartControl::LastPage()
{
    if (PageCount_ <= 1 || CurrentPage_ == PageCount_)
        return CurrentPage_;
    for (std::int32_t i = CurrentPage_; i < PageCount_; ++i)
        pageForward();
    CurrentPage_ = PageCount_;
    Browsing_ = false;
    return CurrentPage_;
}

void TChartControl::SetAxisMin(double Value)
{
    if (Value != AxisMin_) {
        AxisMin_ = Value;
        Chart_.setLeftMin(Value);
    }
}

void TChartControl::SetAxisMax(double Value)
{
    if (Value != AxisMax_) {
        AxisMax_ = Value;
        Chart_.setLeftMax(Value);
    }
}

void TChartControl::SetPageSize(std::int32_t Size)
{
    // The box that feeds this never passes less than 1; anything else would divide by zero.
    if (Size == PageSize_ || Size < 1)
        return;
    PageSize_ = Size;
    Chart_.setBottomMin(1);
    Chart_.setBottomMax(Size);
    PageCount_ = pagesFor(Chart_.pointCount());
    for (std::int32_t i = 1; i < PageCount_; ++i)
        pageForward();
    CurrentPage_ = PageCount_;
    Browsing_ = false;
}

std::int32_t TChartControl::Clear()
{
    FirstPage();
    Chart_.removeAllPoints();
    appendZeroPoint();
    Browsing_ = false;
    return CurrentPage_;
}

void TChartControl::appendZeroPoint()
{
    Chart_.appendPoint(0.0);
}

void TChartControl::pageForward()
{
    Chart_.scrollBottom(PageSize_);
}

void TChartControl::pageBack()
{
    Chart_.scrollBottom(-double(PageSize_));
}

std::int32_t TChartControl::pagesFor(std::int64_t points) const
{
    return std::int32_t(points / PageSize_ + (points % PageSize_ > 0 ? 1 : 0));
}
