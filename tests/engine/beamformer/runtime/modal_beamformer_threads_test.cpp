// Look-direction targets and modal filter loads from a control thread while
// the audio thread forms the beam: the output stays bounded by the loaded
// gains and nothing races.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "beamformer/runtime/modal_beamformer.h"

namespace {

TEST(ModalBeamformerThreads, TargetsAndLoadsDuringProcessing) {
    constexpr int kFrames = 64;
    CMbf mbf;
    ASSERT_EQ(mbf.configure(vxAudioInterface::timeDomain(16, 8000.0f, kFrames),
                            vxAudioInterface::timeDomain(1, 8000.0f, kFrames)),
              vxOK);
    ASSERT_EQ(mbf.setLatency(10.0f), 0);
    std::vector<float> taps(21, 0.0f);
    taps[10] = 1.0f;
    const int counts[4] = {21, 0, 0, 0};
    const float* pointers[4] = {taps.data(), nullptr, nullptr, nullptr};
    ASSERT_EQ(mbf.loadFilters(counts, pointers), 0);
    ASSERT_EQ(mbf.start(), vxOK);

    std::atomic<bool> done{false};
    std::thread control([&] {
        for (int i = 0; i < 300; ++i) {
            std::vector<float> gain(2 * (i % 10) + 1, 0.0f);
            gain[i % 10] = 0.5f + 0.25f * float(i % 3);
            const int c[4] = {static_cast<int>(gain.size()), 0, 0, 0};
            const float* p[4] = {gain.data(), nullptr, nullptr, nullptr};
            EXPECT_EQ(mbf.loadFilters(c, p), 0);
            mbf.setTheta(float(i % 181));
            mbf.setPhi(float(i * 7));
            std::this_thread::yield();
        }
        done = true;
    });
    std::vector<std::vector<float>> components(16, std::vector<float>(kFrames, 0.0f));
    components[0].assign(kFrames, 1.0f);
    std::vector<float*> in;
    for (auto& c : components) in.push_back(c.data());
    std::vector<float> out(kFrames);
    float* o = out.data();
    float largest = 0.0f;
    for (int block = 0; !done || block < 200; ++block) {
        ASSERT_EQ(mbf.process(in.data(), &o, kFrames), vxOK);
        for (float v : out) largest = std::max(largest, std::abs(v));
    }
    control.join();
    EXPECT_LE(largest, 1.0f + 1e-5f);
}

}  // namespace
