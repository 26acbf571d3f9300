// Filter loads and delay requests from a control thread while the audio
// thread processes: every output sample stays one of the loaded gains'
// crossfades (bounded by the largest), and nothing races.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "dsp/delay_line.h"
#include "dsp/shadow_filter.h"

namespace {

TEST(ShadowFilterThreads, LoadsAndDelayChangesDuringProcessing) {
    constexpr int kFrames = 64;
    vxlbShadowFilter stage;
    const vxAudioInterface mono = vxAudioInterface::timeDomain(1, 8000.0f, kFrames);
    ASSERT_EQ(stage.configure(mono, mono), vxOK);
    ASSERT_EQ(stage.setMaxDelay(10.0f), vxOK);
    std::vector<float> taps(21, 0.0f);
    taps[10] = 1.0f;
    const int length = 21;
    const float* pointer = taps.data();
    ASSERT_EQ(stage.loadFilter(&length, &pointer), 0);
    ASSERT_EQ(stage.start(), vxOK);
    CDelayLine line;
    ASSERT_EQ(line.setDelay(3), 0);

    std::atomic<bool> done{false};
    std::thread control([&] {
        for (int i = 0; i < 300; ++i) {
            std::vector<float> gainTaps(2 * (i % 10) + 1, 0.0f);
            gainTaps[i % 10] = 0.25f + 0.5f * float(i % 3);  // gains 0.25, 0.75, 1.25
            const int n = static_cast<int>(gainTaps.size());
            const float* p = gainTaps.data();
            EXPECT_EQ(stage.loadFilter(&n, &p), 0);
            EXPECT_EQ(line.requestDelay(i % 50), 0);
            std::this_thread::yield();
        }
        done = true;
    });
    std::vector<float> in(kFrames, 1.0f), out(kFrames), delayed(kFrames);
    float* inPointer = in.data();
    float* outPointer = out.data();
    float largest = 0.0f;
    for (int block = 0; !done || block < 200; ++block) {
        stage.process(&inPointer, &outPointer, kFrames);
        line.delayProcess(out.data(), delayed.data(), kFrames);
        for (float v : out) largest = std::max(largest, std::abs(v));
    }
    control.join();
    EXPECT_LE(largest, 1.25f + 1e-5f);
}

}  // namespace
