// The Trend window's cost: a frame of a million readings zoomed out (panned by a pixel, so the
// envelope is worked out afresh; and with a new reading arriving while it follows), a frame
// zoomed in to 100 readings, and the memory a reading takes.
#include "benchsupport.h"

#include "ttrendplot.h"
#include "ttrendseries.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <malloc.h>

namespace {

// The Trend window's plot at its start size.
const QSize PlotSize(916, 470);

TTrendReading reading(std::int64_t i)
{
    TTrendReading r;
    r.TimeMs = 1765400000000 + 500 * i;
    r.Quantity = {TTrendQuantity::Farad, TTrendQuantity::D};
    r.Value = {100e-9 * (1 + 0.01 * std::sin(double(i) / 5000.0) + 0.001 * double(i * 37 % 11)),
               0.012 + 0.0001 * double(i % 7)};
    r.Status = {std::uint8_t(i % 10007 == 0 ? stOverload : stReading), stReading};
    return r;
}

struct TTrendFixture
{
    explicit TTrendFixture(std::int64_t n)
        : Plot(Series)
    {
        for (std::int64_t i = 0; i < n; ++i)
            Series.append(reading(i));
        Plot.resize(PlotSize);
        Plot.refresh();
    }
    void paint()
    {
        QPainter p(&Image);
        Plot.paintTo(p);
    }
    TTrendSeries Series;
    TTrendPlot Plot;
    QImage Image{PlotSize, QImage::Format_RGB32};
};

// Zoomed out over every reading, panned a pixel each frame: the envelope of every column is
// worked out from the summaries, then drawn.
void BM_TrendPanZoomedOut(benchmark::State &state)
{
    TTrendFixture f(state.range(0));
    f.Plot.zoomX(0.999); // stop following, so the view can be panned both ways
    double dx = 1;
    for (auto _ : state) {
        f.Plot.panPixels(dx, 0);
        dx = -dx;
        f.paint();
    }
    state.counters["readings"] = double(state.range(0));
}
BENCHMARK(BM_TrendPanZoomedOut)
    ->Arg(1000000)
    ->Arg(1000)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

// Following every reading as they arrive: each frame one more reading, folded into its column.
void BM_TrendNewReadingZoomedOut(benchmark::State &state)
{
    TTrendFixture f(state.range(0));
    f.Plot.home(); // follow at the present zoom, so the columns stay
    std::int64_t i = state.range(0);
    for (auto _ : state) {
        f.Series.append(reading(i++));
        f.Plot.refresh();
        f.paint();
    }
    state.counters["readings"] = double(state.range(0));
}
BENCHMARK(BM_TrendNewReadingZoomedOut)
    ->Arg(1000000)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

// Zoomed in to the last 100 of a million readings, panned a pixel each frame.
void BM_TrendPan100(benchmark::State &state)
{
    TTrendFixture f(state.range(0));
    const TTrendView &v = f.Plot.view();
    f.Plot.zoomX(100.0 / (v.XMax - v.XMin));
    double dx = 1;
    for (auto _ : state) {
        f.Plot.panPixels(dx, 0);
        dx = -dx;
        f.paint();
    }
    state.counters["readings"] = double(state.range(0));
    state.counters["in_view"] = double(f.Plot.inView().Valid + f.Plot.inView().Gaps);
}
BENCHMARK(BM_TrendPan100)->Arg(1000000)->Iterations(500)->Unit(benchmark::kMillisecond);

// Heap growth per reading kept for the Trend window, over the second million.
void BM_TrendBytesPerReading(benchmark::State &state)
{
    constexpr std::int64_t Readings = 1000000;
    for (auto _ : state) {
        TTrendSeries s;
        std::int64_t i = 0;
        for (; i < Readings; ++i)
            s.append(reading(i));
        const auto before = mallinfo2().uordblks;
        for (; i < 2 * Readings; ++i)
            s.append(reading(i));
        const auto after = mallinfo2().uordblks;
        state.counters["bytes_per_reading"] = double(after - before) / Readings;
        state.counters["store_bytes_per_reading"] = double(s.capacityBytes()) / double(s.count());
    }
}
BENCHMARK(BM_TrendBytesPerReading)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runGuiBenchmarks(argc, argv);
}
