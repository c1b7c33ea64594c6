// Frames per second through the main window's receive handler with the virtual LCD attached:
// hex append -> extraction -> decoding -> every panel refresh, on the offscreen platform.
#include "../tests/support/frames.h"
#include "../tests/support/windowfeed.h"
#include "benchsupport.h"

#include "tframeencoder.h"
#include "tfrmmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// The link's physical limit: 9600 baud, 10 bits a byte on the wire, 17 bytes a frame.
constexpr double LinkFramesPerSecond = 9600.0 / 10.0 / 17.0;

// A meter measuring one part: the display stays as it is but for the readings' last digits.
// With mainMoves clear only the secondary reading moves, so no frame is recorded (see run).
std::vector<QByteArray> steadyFrames(bool mainMoves)
{
    std::vector<QByteArray> frames;
    for (int i = 0; i < 16; ++i) {
        TFrameFields f = workedFields();
        f.MainValue = mainMoves ? 1230 + i % 8 : 1234;
        f.SubValue = 12 + i % 3;
        frames.push_back(EncodeFrame(f));
    }
    return frames;
}

// The worst case for the panel: every frame changes what it shows (annunciators, battery,
// frequency, sorting, modes, units, secondary status), so every on-change refresh runs.
std::vector<QByteArray> changingFrames()
{
    std::vector<QByteArray> frames;
    for (int i = 0; i < 16; ++i) {
        TFrameFields f;
        f.Hold = i % 5 == 0;
        f.Relative = i % 7 == 0;
        f.Lcr = i % 3 == 0;
        f.Auto = true;
        f.Parallel = i % 2 == 0;
        f.Battery = i % 4;
        f.Frequency = i % 5;
        f.Sorting = i % 8 == 0 ? 10 : i % 4 == 0 ? 3 : 0;
        f.MainMode = 1 + i % 4;
        f.MainValue = 1234;
        f.MainDecimals = 1;
        f.MainUnit = i % 2 ? 10 : 6;
        f.SubMode = 1 + i % 4;
        f.SubValue = 12 + i;
        f.SubDecimals = 3;
        f.SubUnit = i % 2 ? 0 : 14;
        f.SubStatus = i % 6 == 5 ? 3 : 0;
        frames.push_back(EncodeFrame(f));
    }
    return frames;
}

void run(benchmark::State &state, const std::vector<QByteArray> &frames, bool paintEveryFrame)
{
    TfrmMain w;
    // Repeat off: a frame is recorded only when its main reading changed, as for a user who
    // records changes. Frames with one main reading so measure the panel without the record
    // table growing under them.
    w.Panel4->cbRepeat->setChecked(false);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) {
        state.SkipWithError("window not exposed");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const QByteArray &f = frames[i++ % frames.size()];
        receive(w, f);
        if (paintEveryFrame)
            QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["times_link_limit"] = benchmark::Counter(
        double(state.iterations()) / LinkFramesPerSecond, benchmark::Counter::kIsRate);
}

// Refreshes only: the window repaints when the event loop next runs, which on a live link is
// once per 70 ms block, not once per frame.
void BM_ReceivePanelSteady(benchmark::State &state)
{
    run(state, steadyFrames(false), false);
}
BENCHMARK(BM_ReceivePanelSteady);

void BM_ReceivePanelChanging(benchmark::State &state)
{
    run(state, changingFrames(), false);
}
BENCHMARK(BM_ReceivePanelChanging);

// A moving main reading: every frame is also recorded into the table.
void BM_ReceivePanelRecorded(benchmark::State &state)
{
    run(state, steadyFrames(true), false);
}
BENCHMARK(BM_ReceivePanelRecorded);

// The event loop runs and the window repaints after every single frame.
void BM_ReceivePanelSteadyPainted(benchmark::State &state)
{
    run(state, steadyFrames(false), true);
}
BENCHMARK(BM_ReceivePanelSteadyPainted);

void BM_ReceivePanelChangingPainted(benchmark::State &state)
{
    run(state, changingFrames(), true);
}
BENCHMARK(BM_ReceivePanelChangingPainted);

} // namespace

int main(int argc, char **argv)
{
    return runGuiBenchmarks(argc, argv, true);
}
