// Non-finite input samples become silence: every kind of NaN and infinity
// is cleared wherever it sits in the vectorised body or the tail, every
// finite value keeps its exact bits, and nothing outside the range is
// touched.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "framework/finite_samples.h"

namespace {

constexpr std::uint32_t kGuard = 0x7fc0dead;  // a NaN: it must survive outside the range

TEST(FiniteSamples, NonFiniteBecomesZeroAndFiniteKeepsItsBits) {
    using limits = std::numeric_limits<float>;
    const std::uint32_t nonFinite[] = {
        std::bit_cast<std::uint32_t>(limits::quiet_NaN()), std::bit_cast<std::uint32_t>(-limits::quiet_NaN()),
        std::bit_cast<std::uint32_t>(limits::signaling_NaN()), 0x7f800001u, 0xffffffffu,
        std::bit_cast<std::uint32_t>(limits::infinity()), std::bit_cast<std::uint32_t>(-limits::infinity()),
    };
    const float finite[] = {0.0f, -0.0f, 1.0f, -0.5f, limits::max(), -limits::max(), limits::denorm_min(),
                            -limits::denorm_min(), limits::min(), 1e-7f};
    // Every length through a few vectors, every position of a bad sample in it.
    for (int offset = 0; offset < 4; ++offset)
        for (int n = 0; n <= 19; ++n)
            for (int bad = 0; bad < n; ++bad)
                for (std::uint32_t value : nonFinite) {
                    std::vector<std::uint32_t> bits(n + offset + 2, kGuard);
                    std::uint32_t* samples = bits.data() + offset + 1;
                    for (int i = 0; i < n; ++i)
                        samples[i] = std::bit_cast<std::uint32_t>(finite[(i + n) % std::size(finite)]);
                    samples[bad] = value;
                    const std::vector<std::uint32_t> before = bits;
                    vxZeroNonFinite(reinterpret_cast<float*>(samples), n);
                    for (int i = -1 - offset; i <= n; ++i) {
                        const std::uint32_t expected = i == bad ? 0u : before[i + offset + 1];
                        ASSERT_EQ(samples[i], expected)
                            << "n " << n << ", offset " << offset << ", bad sample " << bad << ", at " << i;
                    }
                }
}

}  // namespace
