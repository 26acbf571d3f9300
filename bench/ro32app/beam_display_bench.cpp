// Paint cost of the azimuth display while a beam is dragged: 18 tracks with
// 73-point curves on a 600 x 600 display, one curve turned a little before
// every frame, each frame rendered into an image as the screen would get it.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "widgets/beam_display_azimuth.h"

using orvelan::app::CBeamDisplayAzimuth;

namespace {

constexpr int kTracks = 18;
constexpr int kPoints = 73;
constexpr int kSide = 600;

// First-order patterns from omni to dipole, as the beamformer's curves
// range: |a + (1 - a) cos(angle)|.
std::vector<float> firstOrder(double a)
{
    std::vector<float> curve(kPoints);
    for (int k = 0; k < kPoints; ++k)
        curve[k] = static_cast<float>(std::fabs(a + (1.0 - a) * std::cos(k * 5.0 * M_PI / 180.0)));
    return curve;
}

void AzimuthPaintWhileDragging(benchmark::State& state)
{
    CBeamDisplayAzimuth display(kTracks, 40.0);
    display.resize(kSide, kSide);
    for (int i = 0; i < kTracks; ++i) {
        const std::vector<float> curve = firstOrder(1.0 - i / double(kTracks - 1));
        display.addPattern(curve.data(), kPoints, QColor::fromHsv(i * 360 / kTracks, 255, 220));
        display.setPhi(i, i * 20);
    }
    display.setActivePattern(3);
    QImage frame(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    int phi = 0;
    for (auto _ : state) {
        display.setPhi(++phi % 360);
        display.render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(AzimuthPaintWhileDragging)->Unit(benchmark::kMillisecond);

}  // namespace
