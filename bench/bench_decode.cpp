// Frames per second through the receive path: hex append -> extraction -> decoding, with the
// front end's hooks empty, one frame per block, as the bridge delivers them.
#include "../tests/support/frames.h"

#include "tframedecoder.h"
#include "tframeencoder.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// The link's physical limit: 9600 baud, 10 bits a byte on the wire, 17 bytes a frame.
constexpr double LinkFramesPerSecond = 9600.0 / 10.0 / 17.0;

// A few different frames, so on-change refreshes and text formatting really run.
std::vector<QByteArray> sampleFrames()
{
    std::vector<QByteArray> frames;
    for (int i = 0; i < 16; ++i) {
        TFrameFields f = workedFields();
        f.MainValue = 1230 + i;
        f.SubValue = 12 + (i % 3);
        f.MainStatus = i == 7 ? 3 : 0;
        frames.push_back(EncodeFrame(f));
    }
    return frames;
}

void BM_ReceiveDecode(benchmark::State &state)
{
    TFrameDecoder decoder;
    const auto frames = sampleFrames();
    std::size_t i = 0;
    for (auto _ : state) {
        const QByteArray &f = frames[i++ % frames.size()];
        decoder.AppendReceived(reinterpret_cast<const std::uint8_t *>(f.constData()), f.size());
        decoder.ExtractFrame();
        benchmark::DoNotOptimize(decoder.State().MainValue);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["times_link_limit"] = benchmark::Counter(
        double(state.iterations()) / LinkFramesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiveDecode);

} // namespace

BENCHMARK_MAIN();
