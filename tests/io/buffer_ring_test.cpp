// The buffer ring on one thread, the disk side played by hand: sizing,
// sample conversion both ways, the order of hand-over, an overrun and its
// recovery, playback waiting for the disk, and stale jobs after a rewind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "dsp.h"

#include "wavefile/buffer_ring.h"

namespace {

using orvelan::io::BufferJob;
using orvelan::io::CAudioBuffer;
using orvelan::io::kRingBadFormat;

// Planar float channels of one block.
struct Block {
    Block(int channels, int frames) : data(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames)))
    {
        for (auto& c : data) pointers.push_back(c.data());
    }
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
};

// A ring of `channels` x 4 frames per block and 5 blocks per buffer.
void formatRing(CAudioBuffer& ring, int channels, int bytes, int type = CAudioBuffer::kIntegerSamples)
{
    ASSERT_EQ(ring.setSampleType(type), 0);
    ASSERT_EQ(ring.setBytesPerSample(bytes), 0);
    const float scale = type == CAudioBuffer::kFloatSamples ? 1.0f : std::ldexp(1.0f, 8 * bytes - 1);
    ring.setScales(scale, 1.0f / scale);
    ASSERT_EQ(ring.setFramesPerBlock(4), 0);
    ASSERT_EQ(ring.setChannels(channels), 0);
    ASSERT_EQ(ring.setSampleRate(4), 0);
}

TEST(AudioBuffer, BuffersHoldAboutFiveSecondsOfWholeBlocks)
{
    CAudioBuffer ring;
    ring.setFramesPerBlock(512);
    ring.setChannels(32);
    ring.setSampleRate(48000);
    EXPECT_EQ(ring.bufferCount(), 4);
    EXPECT_EQ(ring.bufferLength(), 22'855'680);  // 93 blocks a second, 5 seconds
    EXPECT_EQ(ring.bufferLength() / (32 * 3), 238'080);

    // Another rate of the same length keeps the buffers and their bytes.
    ring.bufferData(2)[7] = 0x5A;
    const std::uint8_t* before = ring.bufferData(2);
    ring.setSampleRate(47700);  // still 93 blocks a second
    EXPECT_EQ(ring.bufferData(2), before);
    EXPECT_EQ(ring.bufferData(2)[7], 0x5A);
    ring.setSampleRate(44100);  // 86 blocks: new zeroed buffers
    EXPECT_EQ(ring.bufferLength(), 86 * 512 * 32 * 3 * 5);
    EXPECT_EQ(ring.bufferData(2)[7], 0);
}

TEST(AudioBuffer, RefusesBuffersShorterThanABlockOrTooLarge)
{
    CAudioBuffer ring;
    ring.setFramesPerBlock(512);
    ring.setChannels(1024);
    ring.setBytesPerSample(4);
    EXPECT_EQ(ring.setSampleRate(768000), kRingBadFormat);  // 15.7 GB a buffer
    EXPECT_EQ(ring.bufferCount(), 0);
    ring.setChannels(2);
    EXPECT_EQ(ring.setSampleRate(500), kRingBadFormat);
    EXPECT_EQ(ring.bufferCount(), 0);
    // Streaming into a ring without buffers drops the block safely.
    ring.setStreaming(true);
    Block block(2, 512);
    ring.writeBlock(block.pointers.data());
    EXPECT_FALSE(ring.readBlock(block.pointers.data()));
    EXPECT_EQ(ring.blocks(), 0u);
}

TEST(AudioBuffer, RecordingConvertsAndInterleaves)
{
    struct Case {
        int bytes;
        float in;
        std::vector<std::uint8_t> stored;
    };
    const Case cases[] = {
        {3, 1.0f, {0xFF, 0xFF, 0x7F}},   // saturated to 8388607
        {3, -1.0f, {0x00, 0x00, 0x80}},  // -8388608
        {3, 0.5f, {0x00, 0x00, 0x40}},
        {2, -1.0f, {0x00, 0x80}},
        {2, 2.0f, {0xFF, 0x7F}},
        {4, -1.0f, {0x00, 0x00, 0x00, 0x80}},
        {1, 0.0f, {0x80}},
        {1, -1.0f, {0x00}},
        {1, 1.0f, {0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + " bytes, " + std::to_string(c.in));
        CAudioBuffer ring;
        formatRing(ring, 2, c.bytes);
        ring.setStreaming(true);
        Block block(2, 4);
        block.data[0].assign(4, c.in);
        block.data[1].assign(4, 0.0f);
        ring.writeBlock(block.pointers.data());
        ASSERT_EQ(ring.partialLength(), 4 * 2 * c.bytes);
        const std::uint8_t* frame0 = ring.partialData();
        EXPECT_EQ(std::vector<std::uint8_t>(frame0, frame0 + c.bytes), c.stored);  // channel 0 first
        EXPECT_EQ(std::vector<std::uint8_t>(frame0 + 2 * c.bytes, frame0 + 3 * c.bytes), c.stored);  // frame 1
    }
}

// Every sample lands at its own place in the file layout and comes back
// from it, whatever the shape of the block: a distinct value per sample,
// so a sample moved to a neighbour's place or a byte of a neighbour
// overwritten shows.
TEST(AudioBuffer, InterleavingPlacesEverySampleBothWays)
{
    struct Shape {
        int channels, frames;
    };
    const Shape shapes[] = {{1, 1}, {1, 7}, {5, 1}, {3, 5}, {8, 12}, {32, 256}};
    // Widths 1 to 4 of integer samples, then float samples (5).
    for (int width = 1; width <= 5; ++width) {
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(std::to_string(width) + " width, " + std::to_string(shape.channels) + " x " +
                         std::to_string(shape.frames));
            const bool floats = width == 5;
            const int bytes = floats ? 4 : width;
            const int type = floats ? CAudioBuffer::kFloatSamples : CAudioBuffer::kIntegerSamples;
            CAudioBuffer ring;
            const float scale = floats ? 1.0f : std::ldexp(1.0f, 8 * bytes - 1);
            ring.setSampleType(type);
            ring.setBytesPerSample(bytes);
            ring.setScales(scale, 1.0f / scale);
            ring.setFramesPerBlock(shape.frames);
            ring.setChannels(shape.channels);
            ASSERT_EQ(ring.setSampleRate(shape.frames), 0);  // one block a second
            const auto value = [&](int c, int f) { return (c * shape.frames + f) % 200 - 100; };
            Block in(shape.channels, shape.frames);
            for (int c = 0; c < shape.channels; ++c)
                for (int f = 0; f < shape.frames; ++f) in.data[c][f] = static_cast<float>(value(c, f)) / scale;

            ring.setStreaming(true);
            ring.writeBlock(in.pointers.data());
            const std::size_t blockBytes = static_cast<std::size_t>(shape.channels * shape.frames * bytes);
            ASSERT_EQ(ring.partialLength(), static_cast<std::int64_t>(blockBytes));
            const std::vector<std::uint8_t> stored(ring.partialData(), ring.partialData() + blockBytes);
            for (int f = 0; f < shape.frames; ++f)
                for (int c = 0; c < shape.channels; ++c) {
                    // 8-bit samples are unsigned around 128, the others signed.
                    std::uint32_t expected = static_cast<std::uint32_t>(value(c, f) + (bytes == 1 ? 128 : 0));
                    if (floats) std::memcpy(&expected, &in.data[c][f], 4);
                    std::uint32_t got = 0;
                    std::memcpy(&got, &stored[static_cast<std::size_t>((f * shape.channels + c) * bytes)],
                                static_cast<std::size_t>(bytes));
                    const std::uint32_t mask = bytes == 4 ? ~0u : (1u << (8 * bytes)) - 1;
                    ASSERT_EQ(got, expected & mask) << "channel " << c << ", frame " << f;
                }

            // The same bytes played back give the floats recorded.
            CAudioBuffer player;
            player.setSampleType(type);
            player.setBytesPerSample(bytes);
            player.setScales(scale, 1.0f / scale);
            player.setFramesPerBlock(shape.frames);
            player.setChannels(shape.channels);
            ASSERT_EQ(player.setSampleRate(shape.frames), 0);
            player.prefill();
            BufferJob job;
            ASSERT_TRUE(player.takeJob(job));
            std::memcpy(player.bufferData(job.index), stored.data(), blockBytes);
            player.completeJob(job);
            player.setStreaming(true);
            Block out(shape.channels, shape.frames);
            ASSERT_TRUE(player.readBlock(out.pointers.data()));
            EXPECT_EQ(out.data, in.data);
        }
    }
}

// The scale is applied on the way into (or out of) the file's order; the
// samples must come out as a multiplying pass followed by the conversion
// gives them, rounding and saturation included. Random samples, some
// beyond full scale, and random file bytes, against the kernels run one
// channel and one sample at a time.
TEST(AudioBuffer, ScaledSamplesMatchAMultiplyThenConvert)
{
    dspStaticInit();
    struct Shape {
        int channels, frames;
    };
    const Shape shapes[] = {{3, 5}, {32, 256}};
    for (int bytes = 2; bytes <= 4; ++bytes) {
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(std::to_string(bytes) + " bytes, " + std::to_string(shape.channels) + " x " +
                         std::to_string(shape.frames));
            const float toInt = std::ldexp(1.0f, 8 * bytes - 1), fromInt = 1.0f / toInt;
            std::mt19937 random(static_cast<unsigned>(bytes * 100 + shape.channels));
            std::uniform_real_distribution<float> sample(-1.2f, 1.2f);
            const auto ring = [&] {
                auto r = std::make_unique<CAudioBuffer>();
                r->setBytesPerSample(bytes);
                r->setScales(toInt, fromInt);
                r->setFramesPerBlock(shape.frames);
                r->setChannels(shape.channels);
                EXPECT_EQ(r->setSampleRate(shape.frames), 0);
                return r;
            };
            const auto at = [&](int c, int f) { return static_cast<std::size_t>((f * shape.channels + c) * bytes); };
            const std::size_t blockBytes = static_cast<std::size_t>(shape.channels * shape.frames * bytes);

            Block in(shape.channels, shape.frames);
            for (auto& channel : in.data)
                for (float& v : channel) v = sample(random);
            auto recorder = ring();
            recorder->setStreaming(true);
            recorder->writeBlock(in.pointers.data());
            ASSERT_EQ(recorder->partialLength(), static_cast<std::int64_t>(blockBytes));
            std::vector<float> scaled(static_cast<std::size_t>(shape.frames));
            for (int c = 0; c < shape.channels; ++c) {
                dspsMulC_32f(in.pointers[c], toInt, scaled.data(), shape.frames);
                for (int f = 0; f < shape.frames; ++f) {
                    alignas(4) std::uint8_t expected[4];
                    if (bytes == 2) dspsConvert_32f16s_Sfs(&scaled[f], reinterpret_cast<Dsp16s*>(expected), 1, dspRndNear, 0);
                    if (bytes == 3) dspsConvert_32f24s_Sfs(&scaled[f], expected, 1, 0);
                    if (bytes == 4) dspsConvert_32f32s_Sfs(&scaled[f], reinterpret_cast<Dsp32s*>(expected), 1, dspRndNear, 0);
                    ASSERT_EQ(std::memcmp(recorder->partialData() + at(c, f), expected, static_cast<std::size_t>(bytes)), 0)
                        << "channel " << c << ", frame " << f;
                }
            }

            std::vector<std::uint8_t> stored(blockBytes);
            for (auto& b : stored) b = static_cast<std::uint8_t>(random());
            auto player = ring();
            player->prefill();
            BufferJob job;
            ASSERT_TRUE(player->takeJob(job));
            std::memcpy(player->bufferData(job.index), stored.data(), blockBytes);
            player->completeJob(job);
            player->setStreaming(true);
            Block out(shape.channels, shape.frames);
            ASSERT_TRUE(player->readBlock(out.pointers.data()));
            for (int c = 0; c < shape.channels; ++c)
                for (int f = 0; f < shape.frames; ++f) {
                    float converted = 0.0f, expected = 0.0f;
                    const std::uint8_t* from = stored.data() + at(c, f);
                    if (bytes == 2) dspsConvert_16s32f(reinterpret_cast<const Dsp16s*>(from), &converted, 1);
                    if (bytes == 3) dspsConvert_24s32f(from, &converted, 1);
                    if (bytes == 4) dspsConvert_32s32f(reinterpret_cast<const Dsp32s*>(from), &converted, 1);
                    dspsMulC_32f(&converted, fromInt, &expected, 1);
                    ASSERT_EQ(out.data[c][f], expected) << "channel " << c << ", frame " << f;
                }
        }
    }
}

TEST(AudioBuffer, PlaybackConvertsToFullScale)
{
    struct Case {
        int bytes;
        std::vector<std::uint8_t> stored;
        float out;
    };
    const Case cases[] = {
        {2, {0x00, 0x80}, -1.0f},
        {1, {0x80}, 0.0f},
        {1, {0x00}, -1.0f},
        {3, {0x00, 0x00, 0x80}, -1.0f},
        {4, {0x00, 0x00, 0x00, 0x80}, -1.0f},  // not +1.0
        {4, {0x00, 0x00, 0x00, 0x40}, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        CAudioBuffer ring;
        formatRing(ring, 1, c.bytes);
        ring.prefill();
        BufferJob job;
        ASSERT_TRUE(ring.takeJob(job));
        ASSERT_EQ(job.index, 0);
        for (std::int64_t i = 0; i < ring.bufferLength(); i += c.bytes)
            std::memcpy(ring.bufferData(0) + i, c.stored.data(), static_cast<std::size_t>(c.bytes));
        ring.completeJob(job);
        ring.setStreaming(true);
        Block block(1, 4);
        ASSERT_TRUE(ring.readBlock(block.pointers.data()));
        EXPECT_EQ(block.data[0], std::vector<float>(4, c.out));
    }
}

TEST(AudioBuffer, FloatSamplesPassUnchanged)
{
    CAudioBuffer ring;
    formatRing(ring, 2, 4, CAudioBuffer::kFloatSamples);
    ring.setStreaming(true);
    Block in(2, 4);
    in.data[0] = {0.25f, -3.5f, 1e-20f, 7.0f};
    in.data[1] = {-0.0f, 2.0f, -1.0f, 0.125f};
    for (int b = 0; b < 5; ++b) ring.writeBlock(in.pointers.data());
    BufferJob job;
    ASSERT_TRUE(ring.takeJob(job));
    float first[4];
    std::memcpy(first, ring.bufferData(0), sizeof first);
    EXPECT_EQ(first[0], 0.25f);
    EXPECT_EQ(first[1], -0.0f);
    EXPECT_EQ(first[2], -3.5f);
    EXPECT_EQ(first[3], 2.0f);
}

TEST(AudioBuffer, RecordingOverrunDropsCountsAndResumes)
{
    // Five blocks fill a buffer. With the disk holding all four buffers the
    // next blocks are dropped and counted; once the disk gives back the
    // oldest buffer, recording goes on in it.
    CAudioBuffer ring;
    formatRing(ring, 1, 2);
    ring.setStreaming(true);
    Block block(1, 4);
    for (int b = 0; b < 20; ++b) {
        block.data[0].assign(4, static_cast<float>(b) / 64.0f);
        ring.writeBlock(block.pointers.data());
    }
    EXPECT_EQ(ring.blocks(), 20u);
    EXPECT_EQ(ring.droppedBlocks(), 0u);
    ring.writeBlock(block.pointers.data());
    ring.writeBlock(block.pointers.data());
    EXPECT_EQ(ring.droppedBlocks(), 2u);
    EXPECT_EQ(ring.blocks(), 20u);
    EXPECT_EQ(ring.partialLength(), 0);  // no current buffer to flush

    std::vector<int> order;
    BufferJob job;
    while (ring.takeJob(job)) order.push_back(job.index);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    // Buffer 0 comes back: recording resumes there.
    ring.completeJob({0, job.generation, false});
    block.data[0].assign(4, 0.5f);
    ring.writeBlock(block.pointers.data());
    EXPECT_EQ(ring.blocks(), 21u);
    EXPECT_EQ(ring.droppedBlocks(), 2u);
    ASSERT_EQ(ring.partialLength(), 8);
    EXPECT_EQ(ring.partialData(), ring.bufferData(0));
    EXPECT_EQ(ring.partialData()[1], 0x40);
}

TEST(AudioBuffer, PlaybackWaitsForTheDiskInSilence)
{
    CAudioBuffer ring;
    formatRing(ring, 1, 2);
    ring.prefill();
    ring.setStreaming(true);
    Block block(1, 4);
    EXPECT_FALSE(ring.readBlock(block.pointers.data()));
    EXPECT_FALSE(ring.readBlock(block.pointers.data()));
    EXPECT_EQ(ring.silentBlocks(), 2u);
    EXPECT_EQ(ring.blocks(), 0u);

    BufferJob jobs[4];
    for (auto& j : jobs) ASSERT_TRUE(ring.takeJob(j));
    ring.completeJob(jobs[0]);
    for (int b = 0; b < 5; ++b) EXPECT_TRUE(ring.readBlock(block.pointers.data()));
    // Buffer 0 drained goes back to the disk; buffer 1 is not read yet.
    BufferJob refill;
    ASSERT_TRUE(ring.takeJob(refill));
    EXPECT_EQ(refill.index, 0);
    EXPECT_TRUE(refill.fill);
    EXPECT_FALSE(ring.readBlock(block.pointers.data()));
    EXPECT_EQ(ring.silentBlocks(), 3u);
    ring.completeJob(jobs[1]);
    EXPECT_TRUE(ring.readBlock(block.pointers.data()));
    EXPECT_EQ(ring.blocks(), 6u);
}

TEST(AudioBuffer, JobsFromBeforeARewindAreStale)
{
    CAudioBuffer ring;
    formatRing(ring, 1, 2);
    ring.prefill();
    BufferJob old;
    ASSERT_TRUE(ring.takeJob(old));
    ring.rewind();
    EXPECT_TRUE(ring.isStale(old));
    EXPECT_FALSE(ring.hasQueuedJobs());
    ring.prefill();
    ring.completeJob(old);  // a late completion must not mark buffer 0 filled
    ring.setStreaming(true);
    Block block(1, 4);
    EXPECT_FALSE(ring.readBlock(block.pointers.data()));
}

TEST(AudioBuffer, NothingMovesWhileNotStreaming)
{
    CAudioBuffer ring;
    formatRing(ring, 1, 3);
    Block block(1, 4);
    ring.writeBlock(block.pointers.data());
    EXPECT_FALSE(ring.readBlock(block.pointers.data()));
    EXPECT_EQ(ring.blocks(), 0u);
    EXPECT_EQ(ring.droppedBlocks(), 0u);
    EXPECT_EQ(ring.silentBlocks(), 0u);
}

}  // namespace
