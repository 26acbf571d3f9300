// Two file blocks recording at once, as the chain's raw-signal recorder (32
// channels) and output recorder (18 channels) do: 24-bit at 48 kHz in
// 512-frame blocks.
// - Paced: 60 s with each block due at its time on the clock, as an audio
//   device would call process, at normal and (where allowed) real-time
//   priority. Reports the dropped blocks, the worst and mean time of one
//   process() call and how many took over 0.2 ms, the heap allocations made
//   while streaming (all threads), and whether libsndfile reads both files
//   back sample for sample.
// - Unpaced: the same minute of audio as fast as the disk takes it (a block
//   the ring cannot take yet is offered again), in MB/s of file data.
// - Stalled disk: one 50-channel recorder, paced, whose disk thread blocks
//   for 5 s (the ring's spare buffers cover it: nothing may be dropped)
//   and, as a contrast, for 17 s (longer than the spare buffers: the
//   blocks dropped are counted, and the file holds exactly the others).
// The files go to $TMPDIR (default /tmp).
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "support/allocation_counter.h"
#include "audio/period_pacer.h"
#include "wavefile/audio_file.h"

namespace {

using orvelan::io::CAudioFile;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 48000;
constexpr int kFrames = 512;
constexpr int kSeconds = 60;
constexpr std::int64_t kBlocks = std::int64_t{kRate} * kSeconds / kFrames;
constexpr int kChannelCounts[] = {32, 18};

std::string benchPath(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/orvelan-bench-" + name + "-" + std::to_string(getpid()) + ".wav";
}

// A 24-bit value, exact in float, that differs for every channel and frame.
std::int32_t sampleValue(int c, std::int64_t n) { return static_cast<std::int32_t>((n * 7919 + c * 104729) % (1 << 24)) - 8388608; }

std::int64_t nowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

// One recorder with its input block, refilled for every block of the take.
struct Recorder {
    // beforeJob, when given, runs on the disk thread before every job.
    Recorder(int channels, const std::string& path, std::function<void()> beforeJob = {})
        : channels(channels), path(path), data(static_cast<std::size_t>(channels), std::vector<float>(kFrames))
    {
        for (auto& c : data) pointers.push_back(c.data());
        if (beforeJob) block.diskThreadForTesting().setBeforeJobForTesting(std::move(beforeJob));
        ok = block.configure(vxAudioInterface::timeDomain(channels, kRate, kFrames), vxAudioInterface::timeDomain(0, kRate, kFrames)) == vxOK &&
             block.openFile(path, CAudioFile::kRecord) == 0 && block.startStreaming(true) == 0;
    }
    ~Recorder() { unlink(path.c_str()); }
    void fill(std::int64_t blockIndex)
    {
        for (int c = 0; c < channels; ++c)
            for (int f = 0; f < kFrames; ++f)
                data[static_cast<std::size_t>(c)][static_cast<std::size_t>(f)] =
                    static_cast<float>(sampleValue(c, blockIndex * kFrames + f)) / 8388608.0f;
    }
    // Frames in the file as libsndfile reads it; -1 when it cannot.
    std::int64_t framesInFile() const
    {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (!file) return -1;
        sf_close(file);
        return info.frames;
    }
    // The file holds exactly the take of `blocks` blocks, sample for
    // sample, as libsndfile reads it.
    bool readsBack(std::int64_t blocks = kBlocks) const
    {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (!file) return false;
        bool same = info.channels == channels && info.samplerate == kRate && info.frames == blocks * kFrames;
        std::vector<int> frames(static_cast<std::size_t>(kFrames * channels));
        for (std::int64_t b = 0; same && b < blocks; ++b) {
            same = sf_readf_int(file, frames.data(), kFrames) == kFrames;
            for (int f = 0; same && f < kFrames; ++f)
                for (int c = 0; same && c < channels; ++c)
                    same = frames[static_cast<std::size_t>(f * channels + c)] == sampleValue(c, b * kFrames + f) * 256;
        }
        sf_close(file);
        return same;
    }

    int channels;
    std::string path;
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
    CAudioFile block;
    bool ok = false;
};

// The raw-signal and the output recorder of the chain.
struct ChainRecorders {
    Recorder raw{kChannelCounts[0], benchPath("raw")};
    Recorder output{kChannelCounts[1], benchPath("output")};
    Recorder* all[2] = {&raw, &output};

    void stop()
    {
        for (Recorder* r : all) r->block.stopStreaming();
    }
    bool readBack() const { return raw.readsBack() && output.readsBack(); }
};

// Real-time priority for the calling thread, as an audio device gives its
// callback thread, where the system allows it.
bool tryRealtimePriority()
{
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

void restoreNormalPriority()
{
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
}

std::int64_t fileBytes() { return kBlocks * kFrames * (kChannelCounts[0] + kChannelCounts[1]) * 3; }

void BM_RecordPaced(benchmark::State& state)
{
    for (auto _ : state) {
        ChainRecorders take;
        if (!take.raw.ok || !take.output.ok) {
            state.SkipWithError("the recorders did not open");
            return;
        }
        orvelan::audio::PeriodPacer pacer(nowNs(), kRate, kFrames);
        const bool realtime = state.range(0) != 0 && tryRealtimePriority();
        std::int64_t worstNs = 0, totalNs = 0, calls = 0, slowCalls = 0, missed = 0;
        const std::uint64_t allocationsBefore = allocationCount();
        for (std::int64_t b = 0; b < kBlocks; ++b) {
            for (Recorder* r : take.all) r->fill(b);
            std::this_thread::sleep_until(Clock::time_point(std::chrono::nanoseconds(pacer.dueNs())));
            missed += pacer.arrive(nowNs());
            for (Recorder* r : take.all) {
                const auto start = Clock::now();
                r->block.process(r->pointers.data(), nullptr, kFrames);
                const std::int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
                worstNs = std::max(worstNs, ns);
                if (ns > 200000) ++slowCalls;
                totalNs += ns;
                ++calls;
            }
            pacer.delivered();
        }
        const std::uint64_t allocations = allocationCount() - allocationsBefore;
        if (realtime) restoreNormalPriority();
        take.stop();
        state.counters["dropped_blocks"] = double(take.raw.block.droppedBlocks() + take.output.block.droppedBlocks());
        state.counters["late_periods"] = double(missed);
        state.counters["worst_process_us"] = double(worstNs) / 1e3;
        state.counters["calls_over_200us"] = double(slowCalls);
        state.counters["realtime"] = realtime ? 1.0 : 0.0;
        state.counters["mean_process_us"] = double(totalNs) / double(calls) / 1e3;
        state.counters["allocations"] = double(allocations);
        state.counters["read_back_ok"] = take.readBack() ? 1.0 : 0.0;
    }
}

void BM_RecordUnpaced(benchmark::State& state)
{
    for (auto _ : state) {
        ChainRecorders take;
        if (!take.raw.ok || !take.output.ok) {
            state.SkipWithError("the recorders did not open");
            return;
        }
        const auto start = Clock::now();
        for (std::int64_t b = 0; b < kBlocks; ++b)
            for (Recorder* r : take.all) {
                r->fill(b);
                // A block the ring had no room for is offered again once the disk frees a buffer.
                for (auto dropped = r->block.droppedBlocks();; dropped = r->block.droppedBlocks()) {
                    r->block.process(r->pointers.data(), nullptr, kFrames);
                    if (r->block.droppedBlocks() == dropped) break;
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            }
        take.stop();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        state.counters["MB/s"] = double(fileBytes()) / 1e6 / seconds;
        state.counters["read_back_ok"] = take.readBack() ? 1.0 : 0.0;
    }
}

// Argument: 1 asks for SCHED_FIFO on the thread that calls process.
// One 50-channel take paced in real time, its disk thread blocked once,
// at its first job (the first buffer, about 5 s in), for range(0) seconds.
void BM_RecordStalledDisk(benchmark::State& state)
{
    const auto stall = std::chrono::seconds(state.range(0));
    const std::int64_t blocks = std::int64_t{kRate} * state.range(1) / kFrames;
    for (auto _ : state) {
        bool stalled = false;
        Recorder take(50, benchPath("stalled"), [&stalled, stall] {
            if (std::exchange(stalled, true)) return;
            std::this_thread::sleep_for(stall);
        });
        if (!take.ok) {
            state.SkipWithError("the recorder did not open");
            return;
        }
        orvelan::audio::PeriodPacer pacer(nowNs(), kRate, kFrames);
        std::int64_t missed = 0;
        for (std::int64_t b = 0; b < blocks; ++b) {
            take.fill(b);
            std::this_thread::sleep_until(Clock::time_point(std::chrono::nanoseconds(pacer.dueNs())));
            missed += pacer.arrive(nowNs());
            take.block.process(take.pointers.data(), nullptr, kFrames);
            pacer.delivered();
        }
        take.block.stopStreaming();
        const auto dropped = static_cast<std::int64_t>(take.block.droppedBlocks());
        state.counters["dropped_blocks"] = double(dropped);
        state.counters["late_periods"] = double(missed);
        state.counters["io_status"] = double(take.block.ioStatus());
        // Every block the ring took is in the file, and no other: with none
        // dropped, sample for sample.
        state.counters["frames_missing"] = double(blocks * kFrames - take.framesInFile());
        state.counters["read_back_ok"] =
            (dropped == 0 ? take.readsBack(blocks) : take.framesInFile() == (blocks - dropped) * kFrames) ? 1.0 : 0.0;
    }
}

BENCHMARK(BM_RecordPaced)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RecordUnpaced)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
// Arguments: the stall in seconds, the take in seconds.
BENCHMARK(BM_RecordStalledDisk)->Args({5, 15})->Args({17, 25})->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
