// The whole program streaming as a user runs it: the main window on a
// virtual device with a paced clock (44.1 kHz, 256 frames, a sine on all 32
// inputs), 18 beam tracks added through the editor's "+", both meters
// polling, and the active beam dragged round the azimuth display by a mouse
// move every 16 ms for a few seconds. One run prints what matters for a
// user: the GUI thread's share of a core, the audio callback's worst time
// against the period, and the periods the clock had to skip.
//
// Run it pinned on a quiet machine, e.g.
//   taskset -c 2,3 build/bench/ro32app/program_bench
// ORVELAN_BENCH_SECONDS sets the streaming time (5 s without it).

// Before any Qt header: the bus and the chain use emit and signals as
// names, which Qt's keyword macros would blank out.
#include "midi/virtual_midi_bus.h"
#include "chain/audio_graph.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <time.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/audio_device.h"
#include "app/ro32app.h"
#include "asio/asio_host.h"
#include "audio/backends/builtin_drivers.h"
#include "audio/backends/virtual/virtual_device.h"
#include "widgets/audio_transport.h"
#include "widgets/beam_display_azimuth.h"
#include "widgets/beam_selection.h"
#include "widgets/level_meter.h"

namespace {

using orvelan::app::CAudioTransport;
using orvelan::app::Ro32App;

constexpr int kRate = 44100;
constexpr int kFrames = 256;
constexpr int kBeamTracks = 18;
constexpr int kMoveEveryMs = 16;
// One turn of the dragged beam every 4 s.
constexpr double kDegreesPerMove = 360.0 * kMoveEveryMs / 4000.0;

std::int64_t threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int streamingMs()
{
    const char* seconds = std::getenv("ORVELAN_BENCH_SECONDS");
    const double value = seconds ? std::atof(seconds) : 0.0;
    return value > 0.0 ? int(value * 1000.0) : 5000;
}

// The working directory and the catalog the window starts from: no
// settings file and no user catalog of this machine, one paced virtual
// device under the box's driver name (so no driver dialog).
class ProgramSession {
public:
    ProgramSession()
    {
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        qputenv(orvelan::audio::kCatalogEnvironmentVariable,
                QString("%1=%2,inputs=32,outputs=24,clock=paced,input=sine,frequency=997,rate=%3,bufferSize=%4")
                    .arg(QString::fromLatin1(orvelan::app::CAudioDeviceSetup::kBoxDriverName),
                         QString::fromLatin1(orvelan::audio::kVirtualClassId))
                    .arg(kRate)
                    .arg(kFrames)
                    .toLatin1());
        window_ = std::make_unique<Ro32App>(std::make_shared<orvelan::platform::midi::virtual_midi_bus>());
        window_->resize(1400, 900);
        window_->show();
        settle();
        // 18 beams on outputs 1-18, as the options window would ask for them.
        window_->updateOutputChannels(kBeamTracks, 0);
        auto* editor = window_->beamSelection();
        while (editor->beamTrackCount() < kBeamTracks && editor->addButton()->isEnabled())
            editor->addButton()->click();
        editor->updateActiveBeamTrack(kBeamTracks / 2);  // as a click on its row does
        settle();
    }

    ~ProgramSession()
    {
        window_.reset();
        QDir::setCurrent(previousDir_);
    }

    Ro32App& window() { return *window_; }

    orvelan::audio::VirtualAudioDevice* device() const
    {
        return dynamic_cast<orvelan::audio::VirtualAudioDevice*>(orvelan::io::asioDriver());
    }

    static void settle()
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

private:
    QTemporaryDir dir_;
    QString previousDir_;
    std::unique_ptr<Ro32App> window_;
};

// A left-button drag round the display's centre, one move per call.
class AzimuthDrag {
public:
    explicit AzimuthDrag(QWidget* display) : display_(display) {}

    void press() { send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton); }
    void move()
    {
        angle_ += kDegreesPerMove;
        send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
    }
    void release() { send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton); }

private:
    void send(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        const QPointF centre = QRectF(display_->rect()).center();
        const double radius = 0.3 * std::min(display_->width(), display_->height());
        const double radians = angle_ * M_PI / 180.0;
        const QPointF at = centre + QPointF(radius * std::cos(radians), -radius * std::sin(radians));
        QMouseEvent event(type, at, display_->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(display_, &event);
    }

    QWidget* display_;
    double angle_ = 30.0;
};

// Arg 1: with the drag; 0: the same streaming untouched, so the drag's
// own share shows as the difference.
void ProgramStreaming(benchmark::State& state)
{
    const bool dragging = state.range(0) != 0;
    ProgramSession session;
    Ro32App& window = session.window();
    orvelan::audio::VirtualAudioDevice* device = session.device();
    if (!device || window.beamSelection()->beamTrackCount() != kBeamTracks ||
        window.graph()->inputMode() != orvelan::io::CAudioGraph::kLiveInput) {
        state.SkipWithError("the window did not open on the paced virtual device with 18 live beams");
        return;
    }
    const int duration = streamingMs();
    for (auto _ : state) {
        window.transport()->setState(CAudioTransport::kStateStart);
        if (!orvelan::io::asioIsRunning() || !window.inputLevels()->source() || !window.outputLevels()->source()) {
            state.SkipWithError("the stream or a meter did not start");
            break;
        }
        AzimuthDrag drag(window.azimuthDisplay());
        const int phiBefore = window.beamSelection()->trackPhi(window.beamSelection()->activeBeamTrack());
        QEventLoop loop;
        QTimer mouse;
        mouse.setTimerType(Qt::PreciseTimer);
        QObject::connect(&mouse, &QTimer::timeout, [&drag] { drag.move(); });
        QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);

        QElapsedTimer wall;
        const std::int64_t cpuStart = threadCpuNs();
        wall.start();
        if (dragging) {
            drag.press();
            mouse.start(kMoveEveryMs);
        }
        loop.exec();
        if (dragging) {
            mouse.stop();
            drag.release();
        }
        const std::int64_t cpuNs = threadCpuNs() - cpuStart;
        const std::int64_t wallNs = wall.nsecsElapsed();

        const orvelan::audio::ClockStats clock = device->clockStats();
        const std::int64_t worstSwitchNs = device->worstSwitchNs();
        const std::int64_t dropped = orvelan::io::asioDroppedSwitches();
        window.transport()->setState(CAudioTransport::kStateStop);

        if (dragging && window.beamSelection()->trackPhi(window.beamSelection()->activeBeamTrack()) == phiBefore)
            state.SkipWithError("the drag did not steer the active beam");
        state.counters["gui_core_share"] = 100.0 * double(cpuNs) / double(wallNs);
        state.counters["callback_worst_us"] = double(worstSwitchNs) * 1e-3;
        state.counters["period_us"] = 1e6 * kFrames / kRate;
        state.counters["late_periods"] = double(clock.latePeriods + dropped);
        state.counters["periods"] = double(clock.periods);
        state.counters["worst_wake_late_us"] = double(clock.worstLatenessNs) * 1e-3;
    }
}
BENCHMARK(ProgramStreaming)->ArgName("drag")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
