// The processing chain's cycles are real-time safe: while a control thread
// glides looks, fades patterns, changes the beamformer's mode, switches
// beams and the monitor, and the chain plays a file or records capsules and
// beams, the audio thread allocates nothing and never calls a blocking
// lock. Allocations and lock calls are counted per thread by interposition,
// which only a build without sanitizers allows (they bring their own
// allocator and lock interceptors); a sanitizer build runs the same
// schedule for its own checks.
#include "chain/audio_graph.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>

#include "support/chain_fixtures.h"
#include "support/wave_fixtures.h"

#ifdef ORVELAN_COUNTS_ALLOCATIONS
#include <dlfcn.h>
#include <pthread.h>

#include "support/allocation_counter.h"

namespace {
// Blocking lock calls made by a thread while it counts them.
thread_local bool tCountingLocks = false;
thread_local std::uint64_t tLockCalls = 0;
using LockFunction = int (*)(pthread_mutex_t*);
LockFunction realMutexLock = nullptr;

__attribute__((constructor)) void findRealMutexLock() {
    realMutexLock = reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
}
}  // namespace

// std::mutex::lock and std::lock_guard reach this; try_lock does not.
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
    if (tCountingLocks) ++tLockCalls;
    if (realMutexLock == nullptr) findRealMutexLock();
    return realMutexLock(mutex);
}
#endif

namespace orvelan::io {
namespace {

using namespace orvelan::io::testing;

constexpr int kBeams = 4;

// What the audio thread did that a real-time path must not.
struct AudioSideCounts {
    std::uint64_t allocations = 0;
    std::uint64_t lockCalls = 0;
};

class RealTimeChain {
public:
    explicit RealTimeChain(CAudioGraph& graph) : graph_(graph) {}

    // Runs cycles on an audio thread while `control` runs here; each control
    // step waits for a few cycles so the changes land between cycles.
    template <typename Control>
    AudioSideCounts run(int steps, Control control) {
        std::atomic<bool> controlling{true};
        std::atomic<int> cycles{0};
        AudioSideCounts counts;
        std::thread audio([&] {
            ChannelSet in(32, kChainFrames, 0.25f), out(kBeams, kChainFrames);
            in.fill([](int c, int i) { return 0.25f * std::sin(0.01f * float(i * (c + 1))); });
#ifdef ORVELAN_COUNTS_ALLOCATIONS
            const std::uint64_t allocationsBefore = threadAllocationCount();
            tCountingLocks = true;
#endif
            while (controlling.load(std::memory_order_acquire)) {
                if (graph_.process(in.pointers(), out.pointers(), kChainFrames) != vxOK) failures_.fetch_add(1);
                for (int c = 0; c < kBeams; ++c)
                    for (float v : out[c])
                        if (!std::isfinite(v)) failures_.fetch_add(1);
                cycles.fetch_add(1, std::memory_order_release);
            }
#ifdef ORVELAN_COUNTS_ALLOCATIONS
            tCountingLocks = false;
            counts.allocations = threadAllocationCount() - allocationsBefore;
            counts.lockCalls = tLockCalls;
#endif
        });
        for (int i = 0; i < steps; ++i) {
            const int target = cycles.load(std::memory_order_acquire) + 3;
            while (cycles.load(std::memory_order_acquire) < target) std::this_thread::yield();
            control(i);
        }
        // Let the last fades run out on the audio thread as well.
        const int target = cycles.load() + 60;
        while (cycles.load() < target) std::this_thread::yield();
        controlling.store(false, std::memory_order_release);
        audio.join();
        return counts;
    }

    int failures() const { return failures_.load(); }

private:
    CAudioGraph& graph_;
    std::atomic<int> failures_{0};
};

// One step of every change the chain takes while running.
void changeEverything(CAudioGraph& g, int i) {
    CRo32& beamformer = g.beamformer();
    const int b = i % kBeams;
    EXPECT_EQ(beamformer.setTheta(b, float((i * 37) % 181)), 0);  // look glides
    EXPECT_EQ(beamformer.setPhi(b, float((i * 53) % 360)), 0);
    if (i % 5 == 0) {  // pattern fades
        EXPECT_EQ(beamformer.setPattern(b, (i / 5) % beamformer.numPatterns()), 0);
        const CRoPattern* pattern = beamformer.factory().pattern(beamformer.beamPattern(b));
        EXPECT_EQ(beamformer.setPatternParameter(b, pattern != nullptr ? (i / 5) % pattern->variantCount() : 0), 0);
    }
    if (i % 11 == 0) {
        EXPECT_EQ(beamformer.setMbfMode((i / 11) % CRosphere::kModeCount), 0);
    }
    if (i % 7 == 0) {
        EXPECT_EQ(beamformer.setBeamEnabled((i / 7) % kBeams, (i / 7) % 3 != 0), 0);
    }
    if (i % 13 == 0) {
        EXPECT_EQ(beamformer.setEqStatus(i % 2 == 0), 0);
    }
    g.setMonitorSource(i % 2, i % 32);
    const int outputs[] = {i % kBeams, (i + 1) % kBeams};
    EXPECT_EQ(g.setMonitorOutputs(outputs, 1 + i % 2), 0);
    g.setMonitorEnabled(i % 3 != 0);
    EXPECT_EQ(g.setHighpass(i % CAudioGraph::numHighpassChoices()), 0);
}

TEST(AudioGraphRealTime, CyclesNeitherAllocateNorWaitWhateverTheControlsDo) {
    ScratchDir dir;
    CAudioGraph g;
    ASSERT_EQ(g.setup(chainFormat(32), chainFormat(kBeams)), vxOK);
    ASSERT_EQ(g.setNumBeams(kBeams), vxOK);

    // Live input, both recorders recording.
    ASSERT_EQ(g.setInputSource(CAudioGraph::kLiveInput), vxOK);
    ASSERT_EQ(g.inputRecorder().openFile(dir.path("capsules.wav"), CAudioFile::kRecord), 0);
    ASSERT_EQ(g.outputRecorder().openFile(dir.path("beams.wav"), CAudioFile::kRecord), 0);
    ASSERT_EQ(g.inputRecorder().startStreaming(true), 0);
    ASSERT_EQ(g.outputRecorder().startStreaming(true), 0);
    ASSERT_EQ(g.start(), vxOK);
    RealTimeChain live(g);
    const AudioSideCounts recording = live.run(300, [&](int i) { changeEverything(g, i); });
    ASSERT_EQ(g.stop(), vxOK);
    g.inputRecorder().stopStreaming();
    g.outputRecorder().stopStreaming();
    EXPECT_EQ(live.failures(), 0);
    EXPECT_EQ(g.inputRecorder().ioStatus(), 0);
    EXPECT_EQ(g.outputRecorder().ioStatus(), 0);

    // File playback of a plane wave, with the same changes.
    writePlaneWaveFile(dir.path("take.wav"), {60.0, 120.0}, 700.0, 0.25f, 3.0, int(kChainRate));
    ASSERT_EQ(g.setInputSource(CAudioGraph::kFileInput), vxOK);
    ASSERT_EQ(g.openInputFile(dir.path("take.wav").c_str()), 0);
    ASSERT_EQ(g.fileReader().startStreaming(true), 0);
    ASSERT_EQ(g.start(), vxOK);
    RealTimeChain playback(g);
    const AudioSideCounts playing = playback.run(300, [&](int i) { changeEverything(g, i + 1); });
    ASSERT_EQ(g.stop(), vxOK);
    g.fileReader().stopStreaming();
    EXPECT_EQ(playback.failures(), 0);

#ifdef ORVELAN_COUNTS_ALLOCATIONS
    EXPECT_EQ(recording.allocations, 0u) << "allocations on the audio thread, live input and recording";
    EXPECT_EQ(recording.lockCalls, 0u) << "blocking lock calls on the audio thread, live input and recording";
    EXPECT_EQ(playing.allocations, 0u) << "allocations on the audio thread, file playback";
    EXPECT_EQ(playing.lockCalls, 0u) << "blocking lock calls on the audio thread, file playback";
#else
    (void)recording;
    (void)playing;
#endif
}

}  // namespace
}  // namespace orvelan::io
