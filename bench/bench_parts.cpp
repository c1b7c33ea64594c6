// Statistics of a recording: a million rows read from their texts, the per-row cost of the live
// statistics, the summary's sort-bound work, and the settle rule per display.

#include "recordedrows.h"
#include "tlivestatistics.h"
#include "tpartstatistics.h"
#include "tpartsummary.h"
#include "trecordtable.h"
#include "tsettlerule.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

const TRecordTable &millionRows()
{
    static TRecordTable *table = [] {
        auto *t = new TRecordTable;
        fillRecorded(*t, 1000000);
        return t;
    }();
    return *table;
}

} // namespace

// Every row's mode, value and unit texts read from the table, parsed and added.
static void BM_StatisticsOfMillionRows(benchmark::State &state)
{
    const TRecordTable &table = millionRows();
    for (auto _ : state) {
        TPartStatistics stats;
        stats.AddTable(table);
        benchmark::DoNotOptimize(stats.Groups().data());
    }
    state.SetItemsProcessed(state.iterations() * table.RecordCount());
}
BENCHMARK(BM_StatisticsOfMillionRows)->Unit(benchmark::kMillisecond);

// The median, classes, histogram and matched sets of a million values (done a few times a
// second at most while recording).
static void BM_SummaryOfMillionRows(benchmark::State &state)
{
    TPartStatistics stats;
    stats.AddTable(millionRows());
    for (auto _ : state)
        benchmark::DoNotOptimize(Summarize(stats, {}).Groups.size());
}
BENCHMARK(BM_SummaryOfMillionRows)->Unit(benchmark::kMillisecond);

// One posted row as the live statistics see it: the table's signal, the row's texts, the sums.
// The rows are in the table already and the signal is raised as posting them raises it, so
// nothing but the update is timed (pausing the clock around each append costs more than the
// update itself).
static void BM_LiveUpdatePerRow(benchmark::State &state)
{
    TRecordTable table;
    fillRecorded(table, 4096);
    TLiveStatistics live(table, ".");
    qsizetype row = 0;
    for (auto _ : state) {
        emit table.RowsAppended(row, row);
        row = (row + 1) % table.RecordCount();
    }
    benchmark::DoNotOptimize(live.Statistics().Rows());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LiveUpdatePerRow);

// The row's texts straight into the statistics, without the table around them.
static void BM_AddRowPerRow(benchmark::State &state)
{
    TPartStatistics stats;
    std::int32_t record = 0;
    for (auto _ : state) {
        stats.AddRow("Cs", "1234.5", "nF", record + 1, record);
        ++record;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddRowPerRow);

static void BM_SettleRulePerDisplay(benchmark::State &state)
{
    TSettleRule rule;
    TSettleRule::Input in;
    in.CountSize = 0.1e-9;
    std::int64_t t = 0;
    for (auto _ : state) {
        in.Value = (1000.0 + double(t % 3)) * 1e-10;
        in.TimeMs = t += 500;
        benchmark::DoNotOptimize(rule.Feed(in));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SettleRulePerDisplay);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
