// The record table under load: rows appended per second, memory per row at a million rows, and
// the whole GUI-thread path of one recorded frame with a short and with a million-row table.
#include "../tests/support/frames.h"
#include "../tests/support/mosquittobroker.h"
#include "../tests/support/windowfeed.h"
#include "benchsupport.h"
#include "recordedrows.h"

#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tlabpublisher.h"
#include "trecording.h"
#include "trecordjournal.h"
#include "trecordtable.h"
#include "tsessionpublisher.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTableView>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>

namespace {

void BM_AppendRecord(benchmark::State &state)
{
    TRecordTable table;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    const QString sep = SystemTimeSeparator();
    qint64 i = 0;
    for (auto _ : state) {
        AppendRecord(table, recordedState(i), start.addSecs(i), sep);
        ++i;
        if (table.RecordCount() == 2'000'000) {
            state.PauseTiming();
            table.Empty();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendRecord);

// The engine alone, with the row texts made beforehand.
void BM_AppendPrepared(benchmark::State &state)
{
    TRecordTable table;
    std::vector<std::array<QString, 8>> rows(4096);
    const QDateTime start = QDateTime::currentDateTime();
    for (int i = 0; i < 4096; ++i) {
        const TRecordRowTexts t = RecordRowTexts(recordedState(i));
        rows[i] = {RecordTimeText(start.addSecs(i), QStringLiteral(":")),
                   t.MMode,
                   t.MValue,
                   t.MUnit,
                   t.SMode,
                   t.SValue,
                   t.SUnit,
                   t.Freq};
    }
    qint64 i = 0;
    for (auto _ : state) {
        const auto &texts = rows[std::size_t(i % 4096)];
        table.Append();
        table.Fields(TRecordTable::aNO).SetValue(int(table.RecordCount() + 1));
        for (int f = 1; f < TRecordTable::FieldCount; ++f)
            table.Fields(f).SetAsString(texts[std::size_t(f - 1)]);
        table.Post();
        if (++i % 2'000'000 == 0) {
            state.PauseTiming();
            table.Empty();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendPrepared);

// Memory per row at a million rows: the engine's own account of its buffers, and what the
// allocator handed out meanwhile (mallinfo2), which also counts its own overhead.
void BM_BytesPerRow(benchmark::State &state)
{
    constexpr qint64 rows = 1'000'000;
    for (auto _ : state) {
        malloc_trim(0);
        const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
        auto table = std::make_unique<TRecordTable>();
        fillRecorded(*table, rows);
        const std::size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
        state.counters["engine_B_per_row"] = double(table->MemoryUsage()) / rows;
        state.counters["malloc_B_per_row"] = double(after - before) / rows;
    }
}
BENCHMARK(BM_BytesPerRow)->Iterations(1)->Unit(benchmark::kMillisecond);

// A million opened rows appended to the table in one block, as Open appends them, in one pass of
// the event loop: with range(0) the journal writes the first slice of them in that pass too.
// Its bytes per row once it holds them all.
void BM_OpenBlock(benchmark::State &state)
{
    constexpr qint64 rows = 1'000'000;
    TRecordTable opened;
    fillRecorded(opened, rows);
    for (auto _ : state) {
        state.PauseTiming();
        auto table = std::make_unique<TRecordTable>();
        std::unique_ptr<TRecordJournal> journal;
        if (state.range(0)) {
            journal = std::make_unique<TRecordJournal>(*table);
            journal->Start();
        }
        const qint64 header = journal ? journal->BytesWritten() : 0;
        state.ResumeTiming();
        table->AppendRows(opened);
        state.PauseTiming();
        if (journal) {
            // The timed pass wrote the first slice; the rest follow a slice per pass.
            journal->Flush();
            state.counters["journal_B_per_row"] = double(journal->BytesWritten() - header) / rows;
            journal->Close();
        }
        journal.reset();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenBlock)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("journal")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// One frame through the window as the bridge delivers it, "Repeat" on, so every frame is
// decoded, shown, plotted and recorded; the table already holds range(0) rows. With
// range(1) set, the events the frame posts (the grid's layout and painting, offscreen) are
// processed too; range(2) says whether the window keeps its journal (in a temporary folder);
// range(3) whether it publishes every recorded reading to a mosquitto on loopback (--mqtt);
// range(4) whether the Statistics window is open, following the table live.
void BM_FramePath(benchmark::State &state)
{
    TStartOptions options;
    options.Journal = state.range(2) != 0;
    std::unique_ptr<TMosquittoBroker> broker;
    if (state.range(3) != 0) {
        broker = std::make_unique<TMosquittoBroker>();
        if (!broker->Start()) {
            state.SkipWithError("mosquitto did not start");
            return;
        }
        options.Mqtt = broker->Url(QStringLiteral("bench"));
    }
    TfrmMain w(options);
    w.show();
    QCoreApplication::processEvents();
    auto *table = w.findChild<TRecordTable *>(QStringLiteral("cds1"));
    table->DisableControls();
    fillRecorded(*table, state.range(0));
    table->EnableControls();
    QCoreApplication::processEvents();
    // The journal writes the rows of the setup a slice per pass; it is to be caught up.
    if (auto *journal = w.findChild<TRecordJournal *>())
        journal->Flush();

    std::vector<QByteArray> frames;
    for (int i = 0; i < 16; ++i) {
        // The worked frame without its auto range and battery marks.
        TFrameFields f = workedFields();
        f.Auto = false;
        f.Battery = 0;
        f.MainValue = 1230 + i;
        f.SubValue = 12 + i % 3;
        frames.push_back(EncodeFrame(f));
    }
    if (state.range(4) != 0) {
        w.ShowStatistics();
        QCoreApplication::processEvents();
    }
    // Publishing: nobody answers a notice, and the client (on its own thread) is connected
    // before the clock runs.
    auto *publisher = w.findChild<TSessionPublisher *>();
    w.SetUnattended(true);
    const auto connected = [publisher] {
        bool is = false;
        QMetaObject::invokeMethod(
            &publisher->Publisher(), [&] { is = publisher->Publisher().IsConnected(); },
            Qt::BlockingQueuedConnection);
        return is;
    };
    if (publisher) {
        QElapsedTimer wait;
        wait.start();
        while (!connected() && wait.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const bool withEvents = state.range(1) != 0;
    std::size_t i = 0;
    for (auto _ : state) {
        const QByteArray &frame = frames[i++ % frames.size()];
        receive(w, frame);
        if (withEvents)
            QCoreApplication::processEvents();
    }
    if (publisher) {
        qint64 acknowledged = 0;
        QMetaObject::invokeMethod(
            &publisher->Publisher(), [&] { acknowledged = publisher->Publisher().Acknowledged(); },
            Qt::BlockingQueuedConnection);
        state.counters["acknowledged"] = double(acknowledged);
    }
    state.counters["rows_at_end"] = double(table->RecordCount());
    w.hide();
}
BENCHMARK(BM_FramePath)
    ->ArgsProduct({{1000, 1'000'000}, {0, 1}, {0, 1}, {0}, {0}})
    ->Args({1000, 0, 1, 1, 0})
    ->Args({1000, 1, 1, 1, 0})
    ->Args({1'000'000, 1, 0, 0, 1})
    ->ArgNames({"rows", "events", "journal", "mqtt", "statistics"})
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return runGuiBenchmarks(argc, argv);
}
