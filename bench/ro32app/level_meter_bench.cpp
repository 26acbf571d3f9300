// The level meter's paint per frame, as the main window shows it: 32
// channels at 550 x 200 pixels, with new levels before every frame (a
// detector fed a block whose loudness moves from frame to frame, then the
// meter's poll). The feeding is left out of the time; the paint, with the
// smoothing it does first, is what is measured. Target: below 1 ms.
#include <QCoreApplication>
#include <QImage>
#include <QTimerEvent>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "blocks/max_value.h"
#include "widgets/level_meter.h"

namespace {

constexpr int kChannels = 32;
constexpr int kFrames = 256;
constexpr int kWidth = 550;
constexpr int kHeight = 200;
// Blocks of different loudness, played in turn.
constexpr int kBlocks = 16;

void BM_LevelMeterPaint(benchmark::State& state)
{
    CMaxValue detector;
    detector.configure(vxAudioInterface::timeDomain(kChannels, 48000.0f, kFrames),
                       vxAudioInterface::timeDomain(0, 48000.0f, kFrames));
    std::vector<std::vector<float>> blocks(kBlocks * kChannels, std::vector<float>(kFrames));
    for (int b = 0; b < kBlocks; ++b)
        for (int c = 0; c < kChannels; ++c) {
            // Some channels loud enough to turn red, some silent now and then.
            const float amplitude = (b + c) % 7 == 0 ? 0.0f : 0.05f + 0.9f * float((b * 5 + c * 3) % kBlocks) / kBlocks;
            for (int i = 0; i < kFrames; ++i)
                blocks[b * kChannels + c][i] = amplitude * std::sin(0.05f * float(i * (c + 1)));
        }
    std::vector<std::vector<float*>> inputs(kBlocks);
    for (int b = 0; b < kBlocks; ++b)
        for (int c = 0; c < kChannels; ++c)
            inputs[b].push_back(blocks[b * kChannels + c].data());

    orvelan::app::CLevelMeter meter(kChannels);
    meter.stopTimer();
    meter.resize(kWidth, kHeight);
    meter.setSource(&detector);
    QImage frame(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    meter.render(&frame);

    int block = 0;
    for (auto _ : state) {
        state.PauseTiming();
        detector.process(inputs[block].data(), nullptr, kFrames);
        block = (block + 1) % kBlocks;
        QTimerEvent tick(0);
        QCoreApplication::sendEvent(&meter, &tick);
        state.ResumeTiming();
        meter.render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["channels"] = kChannels;
}
BENCHMARK(BM_LevelMeterPaint)->Unit(benchmark::kMicrosecond);

}  // namespace
