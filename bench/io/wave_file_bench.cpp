// One minute of a 50-channel 24-bit recording at 48 kHz (432 MB), written
// in ring-sized buffers of five seconds and read back, through CWaveFile
// and through plain write/read of the same bytes (written with and without
// a sync after every buffer: CWaveFile syncs each buffer before its header
// names it). The files go to $TMPDIR (default /tmp); the figures include
// the page cache's help.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "wavefile/wave_file.h"

namespace {

using orvelan::io::CWaveFile;

constexpr int kChannels = 50;
constexpr int kRate = 48000;
constexpr int kBytesPerSample = 3;
constexpr std::size_t kBufferBytes = std::size_t{kChannels} * kBytesPerSample * kRate * 5;  // five seconds
constexpr int kBuffers = 12;                                                                 // one minute
constexpr std::size_t kTotalBytes = kBufferBytes * kBuffers;

std::string benchPath(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/orvelan-bench-" + name + "-" + std::to_string(getpid());
}

std::vector<std::uint8_t>& buffer()
{
    static std::vector<std::uint8_t> b = [] {
        std::vector<std::uint8_t> v(kBufferBytes);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(i * 31);
        return v;
    }();
    return b;
}

void finish(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotalBytes));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kTotalBytes) / 1e6,
                                                benchmark::Counter::kIsRate);
}

void BM_WaveFileWrite(benchmark::State& state)
{
    const std::string path = benchPath("wave");
    buffer();
    for (auto _ : state) {
        CWaveFile file;
        if (file.openForWriting(path, kChannels, kRate, 1, kBytesPerSample, 0) != 0) state.SkipWithError("open");
        for (int i = 0; i < kBuffers; ++i)
            if (file.writeData(buffer().data(), static_cast<std::int64_t>(kBufferBytes)) != 0) state.SkipWithError("write");
        file.close();
    }
    finish(state);
    unlink(path.c_str());
}

// Argument 1: each buffer is synchronised to the disk, as CWaveFile does
// before it names the buffer in the header.
void BM_RawWrite(benchmark::State& state)
{
    const std::string path = benchPath("raw");
    buffer();
    for (auto _ : state) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (int i = 0; i < kBuffers; ++i) {
            if (write(fd, buffer().data(), kBufferBytes) != static_cast<ssize_t>(kBufferBytes)) state.SkipWithError("write");
            if (state.range(0) != 0) fdatasync(fd);
        }
        close(fd);
    }
    finish(state);
    unlink(path.c_str());
}

void BM_WaveFileRead(benchmark::State& state)
{
    const std::string path = benchPath("wave-read");
    {
        CWaveFile file;
        file.openForWriting(path, kChannels, kRate, 1, kBytesPerSample, 0);
        for (int i = 0; i < kBuffers; ++i) file.writeData(buffer().data(), static_cast<std::int64_t>(kBufferBytes));
        file.close();
    }
    for (auto _ : state) {
        CWaveFile file;
        int channels, rate, bytes, tag, levl;
        if (file.openForReading(path, channels, rate, bytes, tag, levl) != 0) state.SkipWithError("open");
        for (int i = 0; i < kBuffers; ++i)
            if (file.readData(buffer().data(), static_cast<std::int64_t>(kBufferBytes)) != static_cast<std::int64_t>(kBufferBytes))
                state.SkipWithError("read");
    }
    finish(state);
    unlink(path.c_str());
}

void BM_RawRead(benchmark::State& state)
{
    const std::string path = benchPath("raw-read");
    {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (int i = 0; i < kBuffers; ++i)
            if (write(fd, buffer().data(), kBufferBytes) != static_cast<ssize_t>(kBufferBytes)) state.SkipWithError("write");
        close(fd);
    }
    for (auto _ : state) {
        const int fd = open(path.c_str(), O_RDONLY);
        for (int i = 0; i < kBuffers; ++i)
            if (read(fd, buffer().data(), kBufferBytes) != static_cast<ssize_t>(kBufferBytes)) state.SkipWithError("read");
        close(fd);
    }
    finish(state);
    unlink(path.c_str());
}

BENCHMARK(BM_WaveFileWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RawWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WaveFileRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
