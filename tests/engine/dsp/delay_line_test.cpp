// The whole-sample delay line: delays, the ring's edge, in-place use and
// delay changes asked for while the stream runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "dsp/delay_line.h"

namespace {

std::vector<float> ramp(int n) {
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i) v[i] = float(i + 1);
    return v;
}

TEST(DelayLine, DelaysByWholeSamplesAcrossBlocksAndInPlace) {
    // Odd block sizes walk the write position across the ring's edge; delays
    // around and beyond the line's copy stretch (64) and blocks longer than
    // the delay as well as shorter.
    constexpr int kLength = 600;
    for (int delay : {0, 1, 2, 3, 7, 63, 64, 65, 125, 300})
        for (int block : {1, 5, 97, 256}) {
            for (bool inPlace : {true, false}) {
                CDelayLine line;
                ASSERT_EQ(line.setDelay(delay), 0);
                std::vector<float> signal = ramp(kLength), out(kLength);
                float* target = inPlace ? signal.data() : out.data();
                for (int start = 0; start < kLength; start += block) {
                    const int n = std::min(block, kLength - start);
                    line.delayProcess(signal.data() + start, target + start, n);
                }
                for (int i = 0; i < kLength; ++i)
                    ASSERT_EQ(target[i], i < delay ? 0.0f : float(i + 1 - delay))
                        << "delay " << delay << ", block " << block << ", in place " << inPlace << ", sample " << i;
            }
        }
}

TEST(DelayLine, GrowsItsRingOnlyWhenTheDelayExceedsIt) {
    CDelayLine line;
    EXPECT_EQ(line.capacity(), CDelayLine::kInitialCapacity);
    EXPECT_EQ(line.setDelay(2000), 0);
    EXPECT_EQ(line.capacity(), 2000);
    EXPECT_EQ(line.setDelay(5), 0);
    EXPECT_EQ(line.capacity(), 2000);
    EXPECT_EQ(line.setDelay(-1), 1);
    EXPECT_EQ(line.delay(), 5);
}

TEST(DelayLine, ARequestedDelayStartsAtTheNextBlockFromACleanRing) {
    CDelayLine line;
    ASSERT_EQ(line.setDelay(2), 0);
    std::vector<float> in = ramp(4), out(4);
    line.delayProcess(in.data(), out.data(), 4);
    EXPECT_EQ(line.requestDelay(CDelayLine::kInitialCapacity + 1), 1) << "beyond the ring: refused";
    EXPECT_EQ(line.requestDelay(3), 0);
    EXPECT_EQ(line.delay(), 2) << "taken by the audio thread, not by the request";
    line.delayProcess(in.data(), out.data(), 4);
    EXPECT_EQ(out, (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(line.delay(), 3);
}

}  // namespace
