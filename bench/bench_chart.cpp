// The trend chart's cost per reading: AddPoint plus the repaint it causes, with a short and a
// long history behind it; and the memory a plotted reading takes.
#include "benchsupport.h"

#include "tchartcontrol.h"
#include "tpagedchart.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <malloc.h>

namespace {

// The chart's size in the main window at its start size.
const QSize ChartSize(461, 560);

double reading(std::int64_t i)
{
    return 1000.0 + double((i * 37) % 900) * 0.5;
}

void BM_AddPointAndRepaint(benchmark::State &state)
{
    TPagedChart chart;
    chart.resize(ChartSize);
    TChartControl control(chart, 100);
    control.SetAxisMin(-2000);
    control.SetAxisMax(2000);
    std::int64_t i = 0;
    for (; i < state.range(0); ++i)
        control.AddPoint(reading(i));
    QCoreApplication::processEvents();
    QImage image(chart.size(), QImage::Format_RGB32);

    for (auto _ : state) {
        control.AddPoint(reading(i++));
        // The chart drawn as its paint event draws it: the cached axes (drawn again after a
        // page turn), then the line.
        QPainter painter(&image);
        chart.paintChart(painter);
    }
    state.counters["history"] = double(state.range(0));
    state.counters["drawn_points"] = double(chart.drawnPoints().size());
}
// A whole number of pages per run, so both histories see the same share of page turns.
BENCHMARK(BM_AddPointAndRepaint)
    ->Arg(1000)
    ->Arg(1000000)
    ->Iterations(3000)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// AddPoint without drawing: the part that could grow with history.
void BM_AddPoint(benchmark::State &state)
{
    TPagedChart chart;
    chart.resize(ChartSize);
    TChartControl control(chart, 100);
    std::int64_t i = 0;
    for (; i < state.range(0); ++i)
        control.AddPoint(reading(i));
    for (auto _ : state)
        control.AddPoint(reading(i++));
    state.counters["history"] = double(state.range(0));
}
BENCHMARK(BM_AddPoint)->Arg(1000)->Arg(1000000)->Iterations(100000)->Unit(benchmark::kMicrosecond);

// Heap growth per plotted reading, everything included (store, view), taken over the
// second million points so that start-up allocations do not blur it.
void BM_BytesPerPoint(benchmark::State &state)
{
    constexpr std::int64_t Points = 1000000;
    for (auto _ : state) {
        TPagedChart chart;
        chart.resize(ChartSize);
        TChartControl control(chart, 100);
        std::int64_t i = 0;
        for (; i < Points; ++i)
            control.AddPoint(reading(i));
        QCoreApplication::processEvents();
        const auto before = mallinfo2().uordblks;
        for (; i < 2 * Points; ++i)
            control.AddPoint(reading(i));
        QCoreApplication::processEvents();
        const auto after = mallinfo2().uordblks;
        state.counters["bytes_per_point"] = double(after - before) / Points;
        state.counters["store_bytes_per_point"] =
            double(chart.points().capacityBytes()) / double(chart.points().count());
    }
}
BENCHMARK(BM_BytesPerPoint)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runGuiBenchmarks(argc, argv);
}
