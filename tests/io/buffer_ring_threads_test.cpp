// The ring with its disk thread: an audio thread records into the ring
// while the disk thread writes the buffers out, then plays the file back;
// a stalled disk (a gate in front of every job) shorter than the ring loses
// nothing, a longer one drops counted blocks and recording resumes; a stop
// writes everything handed over. Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "wavefile/buffer_ring.h"
#include "wavefile/buffer_thread.h"
#include "wavefile/wave_file.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;
using namespace std::chrono_literals;

constexpr int kChannels = 32;
constexpr int kFrames = 64;
constexpr int kRate = 128;           // two blocks a second: ten blocks a buffer
constexpr int kBlocksPerBuffer = 10;

// Sample c of frame f of block b: a 24-bit value, exact in float.
std::int32_t sampleValue(int b, int c, int f) { return ((b * 7919 + c * 104729 + f * 31) % 16777216) - 8388608; }

void fillBlock(std::vector<std::vector<float>>& planar, int b)
{
    for (int c = 0; c < kChannels; ++c)
        for (int f = 0; f < kFrames; ++f) planar[c][f] = static_cast<float>(sampleValue(b, c, f)) / 8388608.0f;
}

// The file bytes of the given blocks, in order.
Bytes fileBytes(const std::vector<int>& blocks)
{
    Bytes bytes;
    for (int b : blocks)
        for (int f = 0; f < kFrames; ++f)
            for (int c = 0; c < kChannels; ++c) {
                const auto v = static_cast<std::uint32_t>(sampleValue(b, c, f));
                bytes.push_back(static_cast<std::uint8_t>(v));
                bytes.push_back(static_cast<std::uint8_t>(v >> 8));
                bytes.push_back(static_cast<std::uint8_t>(v >> 16));
            }
    return bytes;
}

std::vector<int> range(int from, int to)
{
    std::vector<int> r;
    for (int i = from; i < to; ++i) r.push_back(i);
    return r;
}

class RingWithDisk : public ::testing::Test {
protected:
    void formatRing(int bytes = 3)
    {
        ring.setSampleType(CAudioBuffer::kIntegerSamples);
        ring.setBytesPerSample(bytes);
        ring.setScales(8388608.0f, 1.0f / 8388608.0f);
        ring.setFramesPerBlock(kFrames);
        ring.setChannels(kChannels);
        ASSERT_EQ(ring.setSampleRate(kRate), 0);
        ASSERT_EQ(ring.bufferLength(), kBlocksPerBuffer * kFrames * kChannels * 3);
    }

    // Records the given blocks on an audio thread of its own. With `retry`
    // a dropped block is offered again (a source that waits), so that the
    // file must hold every block.
    void recordOnAudioThread(const std::vector<int>& blocks, bool retry)
    {
        std::thread audio([&] {
            std::vector<std::vector<float>> planar(kChannels, std::vector<float>(kFrames));
            std::vector<const float*> pointers;
            for (auto& c : planar) pointers.push_back(c.data());
            for (int b : blocks) {
                fillBlock(planar, b);
                for (;;) {
                    const auto dropped = ring.droppedBlocks();
                    ring.writeBlock(pointers.data());
                    if (!retry || ring.droppedBlocks() == dropped) break;
                    std::this_thread::sleep_for(200us);
                }
            }
        });
        audio.join();
    }

    // Stop as the file block does: the disk thread first, then the part of
    // the current buffer, then the file.
    void finishRecording()
    {
        ring.setStreaming(false);
        disk.stop();
        ASSERT_EQ(wave.writeData(ring.partialData(), ring.partialLength()), kWaveOk);
        ASSERT_EQ(wave.close(), kWaveOk);
        ring.rewind();
    }

    // Records with a disk that waits before every job until diskOpen.
    void startGatedRecording()
    {
        ASSERT_EQ(wave.openForWriting(path, kChannels, kRate, 1, 3, 0), kWaveOk);
        disk.setBeforeJobForTesting([this] {
            while (!diskOpen.load()) std::this_thread::sleep_for(1ms);
        });
        disk.start(wave, CBufferThread::Mode::Write);
        ring.setStreaming(true);
    }

    Bytes recordedBytes()
    {
        CWaveFile reader;
        EXPECT_EQ(reader.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
        return readAllData(reader, 1 << 16);
    }

    ScratchDir dir;
    std::string path = dir.path("ring.wav");
    CAudioBuffer ring;
    CBufferThread disk{ring};
    CWaveFile wave;
    std::atomic<bool> diskOpen{false};
};

TEST_F(RingWithDisk, RecordThenPlayBackBitExact)
{
    formatRing();
    ASSERT_EQ(wave.openForWriting(path, kChannels, kRate, 1, 3, 0), kWaveOk);
    disk.start(wave, CBufferThread::Mode::Write);
    ring.setStreaming(true);
    const int blocks = 137;  // thirteen buffers and a part
    recordOnAudioThread(range(0, blocks), true);
    finishRecording();
    EXPECT_EQ(disk.failedJobs(), 0u);
    ASSERT_EQ(recordedBytes(), fileBytes(range(0, blocks)));

    // Play it back: the audio thread waits through silent blocks until the
    // disk has filled each buffer.
    ASSERT_EQ(wave.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
    ring.rewind();
    ring.prefill();
    disk.start(wave, CBufferThread::Mode::Read);
    ring.setStreaming(true);
    std::thread audio([&] {
        std::vector<std::vector<float>> planar(kChannels, std::vector<float>(kFrames));
        std::vector<std::vector<float>> expected(kChannels, std::vector<float>(kFrames));
        std::vector<float*> pointers;
        for (auto& c : planar) pointers.push_back(c.data());
        for (int b = 0; b < blocks; ++b) {
            while (!ring.readBlock(pointers.data())) std::this_thread::sleep_for(200us);
            fillBlock(expected, b);
            ASSERT_EQ(planar, expected) << "block " << b;
        }
    });
    audio.join();
    ring.setStreaming(false);
    disk.stop();
    EXPECT_EQ(ring.blocks(), static_cast<std::uint64_t>(blocks));
}

TEST_F(RingWithDisk, StallShorterThanTheRingLosesNothing)
{
    formatRing();
    startGatedRecording();
    // Three full buffers and most of the fourth while the disk is stalled.
    recordOnAudioThread(range(0, 3 * kBlocksPerBuffer + 9), false);
    EXPECT_EQ(ring.droppedBlocks(), 0u);
    diskOpen = true;
    finishRecording();
    EXPECT_EQ(recordedBytes(), fileBytes(range(0, 3 * kBlocksPerBuffer + 9)));
}

TEST_F(RingWithDisk, LongerStallDropsCountedBlocksThenResumes)
{
    formatRing();
    startGatedRecording();
    // All four buffers fill; the next seven blocks find none free.
    const int held = 4 * kBlocksPerBuffer;
    recordOnAudioThread(range(0, held + 7), false);
    EXPECT_EQ(ring.droppedBlocks(), 7u);
    EXPECT_EQ(ring.blocks(), static_cast<std::uint64_t>(held));

    // The disk catches up (drained, as a stop would) and recording resumes
    // in the buffer it gave back first.
    diskOpen = true;
    disk.stop();
    disk.start(wave, CBufferThread::Mode::Write);
    recordOnAudioThread(range(held + 7, held + 12), false);
    EXPECT_EQ(ring.droppedBlocks(), 7u);
    finishRecording();

    std::vector<int> kept = range(0, held);
    for (int b : range(held + 7, held + 12)) kept.push_back(b);
    EXPECT_EQ(recordedBytes(), fileBytes(kept));
}

}  // namespace
