// The level detector's audio side never waits for a meter poll: a block
// that finds the mutex held by another thread returns at once, and what it
// measured reaches the meter with the next block, as if nothing had been
// missed.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "blocks/max_value.h"
#include "support/channel_set.h"

namespace {

constexpr int kChannels = 9;  // one whole envelope group and one channel alone
constexpr int kFrames = 128;

vxAudioInterface meterFormat(int channels) { return vxAudioInterface::timeDomain(channels, 48000.0f, kFrames); }

// Block b of a fixed test signal: a different level and burst per channel.
ChannelSet block(int b) {
    ChannelSet in(kChannels, kFrames);
    in.fill([b](int c, int i) { return 0.05f * float(c + 1) * (i == 17 * (b + 1) % kFrames ? 8.0f : 1.0f) * (b % 2 ? -1.0f : 1.0f); });
    return in;
}

struct Reading {
    float peaks[kChannels];
    float levels[kChannels];
};

Reading read(CMaxValue& meter) {
    Reading r{};
    meter.readLevels(r.peaks, r.levels, kChannels);
    return r;
}

// Another thread holds the detector's mutex until told to let go, or for
// at most a few seconds, so that an audio side that waits shows up as a
// failure rather than a hang.
class HeldMeterPoll {
public:
    explicit HeldMeterPoll(CMaxValue& meter)
        : thread_([this, &meter] {
              auto hold = meter.holdLevelsForTest();
              std::unique_lock lock(m_);
              held_ = true;
              cv_.notify_all();
              cv_.wait_for(lock, std::chrono::seconds(5), [this] { return letGo_; });
              released_.store(true);
          }) {
        std::unique_lock lock(m_);
        cv_.wait(lock, [this] { return held_; });
    }
    ~HeldMeterPoll() { letGo(); }
    void letGo() {
        {
            std::lock_guard lock(m_);
            letGo_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    bool released() const { return released_.load(); }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool held_ = false;
    bool letGo_ = false;
    std::atomic<bool> released_{false};
    std::thread thread_;
};

TEST(MaxValueThreads, ABlockThatFindsTheMeterPollingIsFoldedIntoTheNext) {
    CMaxValue meter, reference;
    ASSERT_EQ(meter.configure(meterFormat(kChannels), meterFormat(0)), vxOK);
    ASSERT_EQ(reference.configure(meterFormat(kChannels), meterFormat(0)), vxOK);

    // Blocks 1 and 2 are missed (the loud burst is in block 1), block 3 publishes.
    ChannelSet first = block(0);
    ASSERT_EQ(meter.process(first.pointers(), nullptr, kFrames), vxOK);
    ASSERT_EQ(reference.process(first.pointers(), nullptr, kFrames), vxOK);
    const Reading before = read(meter);
    {
        HeldMeterPoll poll(meter);
        for (int b = 1; b <= 2; ++b) {
            ChannelSet in = block(b);
            in[3][40] = 5.0f;  // louder than any burst of the signal
            ASSERT_EQ(meter.process(in.pointers(), nullptr, kFrames), vxOK);
            ASSERT_EQ(reference.process(in.pointers(), nullptr, kFrames), vxOK);
        }
        EXPECT_FALSE(poll.released()) << "the audio side waited for the poll";
    }
    const Reading missed = read(meter);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_EQ(missed.peaks[c], 0.0f) << "channel " << c << ": nothing published while held";
        EXPECT_EQ(missed.levels[c], before.levels[c]) << "channel " << c;
    }

    ChannelSet last = block(3);
    ASSERT_EQ(meter.process(last.pointers(), nullptr, kFrames), vxOK);
    ASSERT_EQ(reference.process(last.pointers(), nullptr, kFrames), vxOK);
    const Reading folded = read(meter);
    const Reading expected = read(reference);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_EQ(folded.peaks[c], expected.peaks[c]) << "channel " << c;
        EXPECT_EQ(folded.levels[c], expected.levels[c]) << "channel " << c;
    }
    EXPECT_EQ(folded.peaks[3], 5.0f);
}

TEST(MaxValueThreads, AResetWhileABlockIsMissedClearsItsPeaksAndEnvelope) {
    CMaxValue meter;
    ASSERT_EQ(meter.configure(meterFormat(kChannels), meterFormat(0)), vxOK);
    {
        HeldMeterPoll poll(meter);
        ChannelSet loud(kChannels, kFrames, 0.75f);
        ASSERT_EQ(meter.process(loud.pointers(), nullptr, kFrames), vxOK);
    }
    meter.reset();
    ChannelSet silence(kChannels, kFrames);
    ASSERT_EQ(meter.process(silence.pointers(), nullptr, kFrames), vxOK);
    const Reading r = read(meter);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_EQ(r.peaks[c], 0.0f) << "channel " << c;
        EXPECT_EQ(r.levels[c], 0.0f) << "channel " << c;
    }
}

}  // namespace
