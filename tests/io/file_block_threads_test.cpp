// The file block with its three threads: the audio thread calls process,
// the disk thread moves the ring's buffers, the control thread (the test
// body) drives the transport. Recording and playback bit-exact at every
// block size, a stalled disk, a stop that flushes what was handed over, and
// transport changes racing the audio thread. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "wavefile/audio_file.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;
using namespace std::chrono_literals;

constexpr std::int64_t kFrameModulus = 1 << 24;

// Sample of channel c at frame n: a 24-bit value, exact in float, from
// which the frame can be recovered (7919 is invertible modulo 2^24).
std::int32_t sampleValue(int c, std::int64_t n) { return static_cast<std::int32_t>((n * 7919 + c * 104729) % kFrameModulus) - 8388608; }
float sampleAt(int c, std::int64_t n) { return static_cast<float>(sampleValue(c, n)) / 8388608.0f; }

std::int64_t frameOf(float channel0)
{
    static const std::int64_t inverse = [] {
        std::int64_t x = 1;  // Newton's iteration for the inverse of 7919 modulo 2^24
        for (int i = 0; i < 5; ++i) x = x * (2 - 7919 * x % kFrameModulus + kFrameModulus) % kFrameModulus;
        return x;
    }();
    const std::int64_t u = (static_cast<std::int64_t>(std::lround(channel0 * 8388608.0f)) + 8388608) % kFrameModulus;
    return u * inverse % kFrameModulus;
}

struct Planar {
    Planar(int channels, int frames) : data(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames)))
    {
        for (auto& c : data) pointers.push_back(c.data());
    }
    void fill(std::int64_t first)
    {
        for (std::size_t c = 0; c < data.size(); ++c)
            for (std::size_t f = 0; f < data[c].size(); ++f) data[c][f] = sampleAt(static_cast<int>(c), first + static_cast<std::int64_t>(f));
    }
    // True when the block is frames first, first + 1, ... of the take.
    bool holdsRun(std::int64_t first) const
    {
        for (std::size_t c = 0; c < data.size(); ++c)
            for (std::size_t f = 0; f < data[c].size(); ++f)
                if (data[c][f] != sampleAt(static_cast<int>(c), first + static_cast<std::int64_t>(f))) return false;
        return true;
    }
    // The same up to the end of the take, silence after it (the block that
    // holds the end of the data is completed with zeros).
    bool holdsRunUntil(std::int64_t first, std::int64_t total) const
    {
        for (std::size_t c = 0; c < data.size(); ++c)
            for (std::size_t f = 0; f < data[c].size(); ++f) {
                const std::int64_t n = first + static_cast<std::int64_t>(f);
                if (data[c][f] != (n < total ? sampleAt(static_cast<int>(c), n) : 0.0f)) return false;
            }
        return true;
    }
    bool silent() const
    {
        for (const auto& c : data)
            for (float v : c)
                if (v != 0.0f) return false;
        return true;
    }
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
};

float rateFor(int frames) { return static_cast<float>(2 * frames); }  // ten blocks a ring buffer

void configureRecorder(CAudioFile& block, int channels, int frames)
{
    ASSERT_EQ(block.configure(vxAudioInterface::timeDomain(channels, rateFor(frames), frames),
                              vxAudioInterface::timeDomain(0, rateFor(frames), frames)),
              vxOK);
}

void configurePlayer(CAudioFile& block, int channels, int frames)
{
    ASSERT_EQ(block.configure(vxAudioInterface::timeDomain(0, rateFor(frames), frames),
                              vxAudioInterface::timeDomain(channels, rateFor(frames), frames)),
              vxOK);
}

// Records blocks [from, to) of the take on an audio thread. With `retry`
// a block the ring dropped is offered again, so that none is lost.
void recordBlocks(CAudioFile& recorder, int channels, int frames, int from, int to, bool retry)
{
    std::thread audio([&] {
        Planar in(channels, frames);
        for (int b = from; b < to; ++b) {
            in.fill(std::int64_t{b} * frames);
            for (;;) {
                const auto dropped = recorder.droppedBlocks();
                recorder.process(in.pointers.data(), nullptr, frames);
                if (!retry || recorder.droppedBlocks() == dropped) break;
                std::this_thread::sleep_for(200us);
            }
        }
    });
    audio.join();
}

// Records blocks 0 to blocks-1 of the counting signal into a file, the
// threaded way, and finishes it.
void recordTake(const std::string& path, int channels, int frames, int blocks)
{
    CAudioFile recorder;
    configureRecorder(recorder, channels, frames);
    ASSERT_EQ(recorder.openFile(path, CAudioFile::kRecord), 0);
    ASSERT_EQ(recorder.startStreaming(true), 0);
    recordBlocks(recorder, channels, frames, 0, blocks, true);
    recorder.stopStreaming();
    EXPECT_EQ(recorder.ioStatus(), 0);
}

// Starts a recording whose disk waits before every job until diskOpen.
void startGatedRecorder(CAudioFile& recorder, const std::string& path, int channels, int frames, std::atomic<bool>& diskOpen)
{
    configureRecorder(recorder, channels, frames);
    recorder.diskThreadForTesting().setBeforeJobForTesting([&diskOpen] {
        while (!diskOpen.load()) std::this_thread::sleep_for(1ms);
    });
    ASSERT_EQ(recorder.openFile(path, CAudioFile::kRecord), 0);
    ASSERT_EQ(recorder.startStreaming(true), 0);
}

// The frames a file holds, as the runs of whole blocks it is made of.
std::vector<std::int64_t> blockStarts(const std::string& path, int channels, int frames)
{
    CWaveFile file;
    EXPECT_EQ(file.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
    const Bytes data = readAllData(file, 1 << 16);
    const std::size_t blockBytes = static_cast<std::size_t>(channels) * frames * 3;
    std::vector<std::int64_t> starts;
    for (std::size_t at = 0; at + blockBytes <= data.size(); at += blockBytes) {
        Planar p(channels, frames);
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) {
                const std::uint8_t* s = data.data() + at + (static_cast<std::size_t>(f) * channels + c) * 3;
                const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(s[0] | s[1] << 8 | s[2] << 16) << 8) >> 8;
                p.data[c][f] = static_cast<float>(v) / 8388608.0f;
            }
        const std::int64_t first = frameOf(p.data[0][0]);
        EXPECT_TRUE(p.holdsRun(first)) << "block at byte " << at;
        starts.push_back(first);
    }
    EXPECT_EQ(data.size() % blockBytes, 0u);
    return starts;
}

std::vector<std::int64_t> startsOf(int from, int to, int frames)
{
    std::vector<std::int64_t> s;
    for (int b = from; b < to; ++b) s.push_back(std::int64_t{b} * frames);
    return s;
}

TEST(FileBlockThreads, RecordThenPlayBackBitExact)
{
    ScratchDir dir;
    for (const int channels : {32, 50})
        for (const int frames : {64, 256, 512}) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(frames) + " frames");
            const std::string path = dir.path("take.wav");
            const int blocks = 57;
            recordTake(path, channels, frames, blocks);
            ASSERT_EQ(blockStarts(path, channels, frames), startsOf(0, blocks, frames));

            // Playback from a start sample: the audio thread takes every
            // block in order, waiting out the silent ones.
            CAudioFile player;
            configurePlayer(player, channels, frames);
            ASSERT_EQ(player.openFile(path, CAudioFile::kPlay), 0);
            const std::int64_t start = 3 * frames + 5;
            ASSERT_EQ(player.setStartSample(start), 0);
            ASSERT_EQ(player.startStreaming(true), 0);
            std::thread audio([&] {
                Planar out(channels, frames);
                for (std::int64_t at = start; at + frames <= std::int64_t{blocks} * frames;) {
                    const auto silent = player.silentBlocks();
                    player.process(nullptr, out.pointers.data(), frames);
                    if (player.silentBlocks() != silent) {
                        std::this_thread::sleep_for(200us);
                        continue;
                    }
                    ASSERT_TRUE(out.holdsRun(at)) << "frame " << at;
                    at += frames;
                }
            });
            audio.join();
            player.stopStreaming();
            EXPECT_EQ(player.currentPosition(), start);
        }
}

// A start waits for the disk thread's first buffer, so the first block the
// audio thread plays is the take's (from the start sample), not silence;
// and so is the first block after a stop and a new start.
TEST(FileBlockThreads, AStartPlaysTheTakeFromItsFirstBlock)
{
    ScratchDir dir;
    const int channels = 32, frames = 256, blocks = 40;
    const std::string path = dir.path("take.wav");
    recordTake(path, channels, frames, blocks);
    CAudioFile player;
    configurePlayer(player, channels, frames);
    ASSERT_EQ(player.openFile(path, CAudioFile::kPlay), 0);
    const std::int64_t start = 2 * frames + 7;
    ASSERT_EQ(player.setStartSample(start), 0);
    Planar out(channels, frames);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(player.startStreaming(true), 0) << round;
        for (int b = 0; b < 3; ++b) {
            player.process(nullptr, out.pointers.data(), frames);
            ASSERT_TRUE(out.holdsRun(start + std::int64_t{b} * frames)) << "round " << round << ", block " << b;
        }
        EXPECT_EQ(player.silentBlocks(), 0u) << round;
        player.stopStreaming();
    }
}

TEST(FileBlockThreads, StopFlushesEverythingHandedOverToAStalledDisk)
{
    ScratchDir dir;
    const std::string path = dir.path("stall.wav");
    const int channels = 8, frames = 64;
    CAudioFile recorder;
    std::atomic<bool> diskOpen{false};
    startGatedRecorder(recorder, path, channels, frames, diskOpen);
    // Three buffers and a part, shorter than the ring: nothing is lost.
    recordBlocks(recorder, channels, frames, 0, 36, false);
    EXPECT_EQ(recorder.droppedBlocks(), 0u);
    std::thread opener([&] {
        std::this_thread::sleep_for(50ms);
        diskOpen = true;
    });
    recorder.stopStreaming();  // waits for the disk
    opener.join();
    EXPECT_EQ(blockStarts(path, channels, frames), startsOf(0, 36, frames));
}

TEST(FileBlockThreads, LongerStallDropsCountedBlocksAndRecordingResumes)
{
    ScratchDir dir;
    const std::string path = dir.path("drops.wav");
    const int channels = 8, frames = 64;
    CAudioFile recorder;
    std::atomic<bool> diskOpen{false};
    startGatedRecorder(recorder, path, channels, frames, diskOpen);
    recordBlocks(recorder, channels, frames, 0, 45, false);  // four buffers, then five blocks with none free
    EXPECT_EQ(recorder.droppedBlocks(), 5u);
    EXPECT_EQ(recorder.currentPosition(), 40 * frames);
    diskOpen = true;
    recordBlocks(recorder, channels, frames, 45, 60, true);  // taken again once buffers come back
    recorder.stopStreaming();
    std::vector<std::int64_t> expected = startsOf(0, 40, frames);
    for (std::int64_t s : startsOf(45, 60, frames)) expected.push_back(s);
    EXPECT_EQ(blockStarts(path, channels, frames), expected);
}

TEST(FileBlockThreads, TransportRacingTheAudioThread)
{
    // The control thread pauses, starts, seeks and stops at random while
    // the audio thread plays: every block that is not silent is a whole run
    // of consecutive frames of the file (silence past its end), never a mix
    // of two positions.
    ScratchDir dir;
    const std::string path = dir.path("race.wav");
    const int channels = 4, frames = 64, blocks = 200;
    recordTake(path, channels, frames, blocks);
    CAudioFile player;
    configurePlayer(player, channels, frames);
    ASSERT_EQ(player.openFile(path, CAudioFile::kPlay), 0);
    ASSERT_EQ(player.startStreaming(true), 0);
    std::atomic<bool> done{false};
    std::atomic<int> played{0}, broken{0};
    std::thread audio([&] {
        Planar out(channels, frames);
        while (!done.load()) {
            player.process(nullptr, out.pointers.data(), frames);
            if (!out.silent()) {
                ++played;
                if (!out.holdsRunUntil(frameOf(out.data[0][0]), std::int64_t{blocks} * frames)) ++broken;
            }
            std::this_thread::sleep_for(50us);
        }
    });
    std::mt19937 rng(7);
    for (int i = 0; i < 150; ++i) {
        switch (rng() % 5) {
        case 0: player.pauseStreaming(); break;
        case 1: player.startStreaming(true); break;
        case 2: player.seekFrame(static_cast<std::int64_t>(rng() % (blocks * frames))); break;
        case 3: player.stopStreaming(); break;
        default: (void)player.currentPosition(); break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 2000));
    }
    done = true;
    audio.join();
    player.stopStreaming();
    EXPECT_GT(played.load(), 0);
    EXPECT_EQ(broken.load(), 0);
}

}  // namespace
