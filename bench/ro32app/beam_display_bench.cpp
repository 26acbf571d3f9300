// Paint cost of the azimuth display while a beam is dragged: 18 tracks with
// 73-point curves on a 600 x 600 display, each frame rendered into an image
// as the screen would get it. A plain drag turns the active curve before
// every frame; with the azimuth link on, the editor turns every curve.
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

// 18 curves from omni to dipole, spread round the circle, one active.
class Display {
public:
    Display() : widget_(kTracks, 40.0)
    {
        widget_.resize(kSide, kSide);
        for (int i = 0; i < kTracks; ++i) {
            const std::vector<float> curve = firstOrder(1.0 - i / double(kTracks - 1));
            widget_.addPattern(curve.data(), kPoints, QColor::fromHsv(i * 360 / kTracks, 255, 220));
            widget_.setPhi(i, i * 20);
        }
        widget_.setActivePattern(3);
    }
    CBeamDisplayAzimuth& widget() { return widget_; }
    void paint()
    {
        widget_.render(&frame_);
        benchmark::DoNotOptimize(frame_.constBits());
    }

private:
    CBeamDisplayAzimuth widget_;
    QImage frame_{kSide, kSide, QImage::Format_ARGB32_Premultiplied};
};

void AzimuthPaintWhileDragging(benchmark::State& state)
{
    Display display;
    int phi = 0;
    for (auto _ : state) {
        display.widget().setPhi(++phi % 360);
        display.paint();
    }
}
BENCHMARK(AzimuthPaintWhileDragging)->Unit(benchmark::kMillisecond);

void AzimuthPaintWhileDraggingLinked(benchmark::State& state)
{
    Display display;
    int step = 0;
    for (auto _ : state) {
        ++step;
        for (int i = 0; i < kTracks; ++i)
            display.widget().setPhi(i, i * 20 + step);
        display.paint();
    }
}
BENCHMARK(AzimuthPaintWhileDraggingLinked)->Unit(benchmark::kMillisecond);

}  // namespace
