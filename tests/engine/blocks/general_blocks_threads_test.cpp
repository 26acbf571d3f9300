// The general blocks between the audio thread and a control thread, run under
// ThreadSanitizer too: a meter read while audio runs loses no peak and never
// shows a half-measured block; gains and filter taps changed while audio
// runs reach whole blocks.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "blocks/filter_stage_bq.h"
#include "blocks/max_value.h"
#include "blocks/volume_control.h"
#include "support/channel_set.h"

namespace {

constexpr int kChannels = 32;
constexpr int kFrames = 256;
constexpr int kBlocks = 3000;

vxAudioInterface format(int channels) {
    return vxAudioInterface::timeDomain(channels, 48000.0f, kFrames);
}

// Block k carries the amplitude (k + 1) / kBlocks on every channel, so the
// peak since any read is the amplitude of the latest block.
TEST(MeterBetweenThreads, EveryReadShowsTheLatestWholeBlockAndNoPeakIsLost) {
    CMaxValue meter;
    ASSERT_EQ(meter.configure(format(kChannels), format(0)), vxOK);
    ASSERT_EQ(meter.start(), vxOK);
    std::atomic<bool> audioDone{false};

    std::thread audio([&] {
        ChannelSet in(kChannels, kFrames);
        for (int k = 0; k < kBlocks; ++k) {
            const float amplitude = static_cast<float>(k + 1) / kBlocks;
            for (int c = 0; c < kChannels; ++c)
                for (int i = 0; i < kFrames; ++i) in[c][i] = (i % 2 == 0) ? amplitude : -amplitude;
            meter.process(in.pointers(), nullptr, kFrames);
        }
        audioDone.store(true);
    });

    std::vector<float> peaks(kChannels), levels(kChannels);
    float lastPeak = 0.0f;
    int reads = 0, readsWithPeaks = 0;
    bool done = false;
    while (!done) {
        done = audioDone.load();  // one more read after the audio thread ends
        meter.readLevels(peaks.data(), levels.data(), kChannels);
        ++reads;
        for (int c = 1; c < kChannels; ++c) {
            ASSERT_EQ(peaks[c], peaks[0]) << "read " << reads << ": channels from different blocks";
            ASSERT_EQ(levels[c], levels[0]) << "read " << reads;
        }
        if (peaks[0] == 0.0f) continue;
        ++readsWithPeaks;
        ASSERT_GT(peaks[0], lastPeak) << "a peak seen twice, or going back";
        lastPeak = peaks[0];
    }
    audio.join();
    // The audio side only tries the lock: a block whose publication missed it
    // is published with the next block, here one of silence.
    ChannelSet silence(kChannels, kFrames);
    meter.process(silence.pointers(), nullptr, kFrames);
    meter.readLevels(peaks.data(), levels.data(), kChannels);
    if (peaks[0] != 0.0f) {
        EXPECT_GT(peaks[0], lastPeak) << "a peak seen twice, or going back";
        lastPeak = peaks[0];
    }
    EXPECT_EQ(lastPeak, 1.0f) << "the last block's peak was lost";
    EXPECT_GT(readsWithPeaks, 0);
}

// The control thread flips the master gain between two values; every output
// block carries one gain throughout.
TEST(VolumeBetweenThreads, GainChangesReachTheAudioThreadAsWholeBlocks) {
    CVolumeControl volume;
    ASSERT_EQ(volume.configure(format(kChannels), format(kChannels)), vxOK);
    std::atomic<bool> audioDone{false};

    std::thread control([&] {
        for (int n = 0; !audioDone.load(); ++n) {
            volume.setMasterVolume(n % 2 == 0 ? 0.25f : 0.5f);
            volume.setChannelMute(3, n % 3 == 0);
        }
    });

    ChannelSet in(kChannels, kFrames, 1.0f), out(kChannels, kFrames);
    for (int k = 0; k < kBlocks / 3; ++k) {
        ASSERT_EQ(volume.process(in.pointers(), out.pointers(), kFrames), vxOK);
        for (int c = 0; c < kChannels; ++c) {
            const float gain = out[c][0];
            ASSERT_TRUE(gain == 1.0f || gain == 0.25f || gain == 0.5f || (c == 3 && gain == 0.0f))
                << "block " << k << " channel " << c << " gain " << gain;
            for (int i = 1; i < kFrames; ++i) ASSERT_EQ(out[c][i], gain);
        }
    }
    audioDone.store(true);
    control.join();
}

// The control thread hands over taps of gain 1 and gain 2 per section (three
// sections: cascade gain 1 or 8) as fast as it can; every output block must
// run one whole set of taps: a set half written would give gain 2 or 4.
TEST(FilterStageBetweenThreads, TapsHandedOverWhileRunningAreNeverTorn) {
    CFilterStageBq stage;
    ASSERT_EQ(stage.configure(format(kChannels), format(kChannels)), vxOK);
    const std::vector<int> counts(kChannels, 3);
    ASSERT_EQ(stage.setSections(counts.data(), kChannels), 0);
    ASSERT_EQ(stage.start(), vxOK);
    const double unity[18] = {1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0};
    const double doubling[18] = {2, 0, 0, 1, 0, 0, 2, 0, 0, 1, 0, 0, 2, 0, 0, 1, 0, 0};
    std::atomic<bool> audioDone{false};

    std::thread control([&] {
        for (int n = 0; !audioDone.load(); ++n)
            for (int c = 0; c < kChannels; ++c) EXPECT_EQ(stage.setTaps(c, n % 2 == 0 ? doubling : unity), 0);
    });

    ChannelSet in(kChannels, kFrames, 1.0f), out(kChannels, kFrames);
    int changes = 0;
    float previous = 1.0f;
    for (int k = 0; k < kBlocks; ++k) {
        ASSERT_EQ(stage.process(in.pointers(), out.pointers(), kFrames), vxOK);
        for (int c = 0; c < kChannels; ++c) {
            const float gain = out[c][0];
            ASSERT_TRUE(gain == 1.0f || gain == 8.0f) << "block " << k << " channel " << c << " gain " << gain;
            for (int i = 1; i < kFrames; ++i) ASSERT_EQ(out[c][i], gain);
        }
        if (out[0][0] != previous) ++changes;
        previous = out[0][0];
    }
    audioDone.store(true);
    control.join();
    EXPECT_GT(changes, 0) << "no hand-over reached the audio thread";
}

}  // namespace
