// Bit-level float comparisons for kernel tests.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

inline std::uint32_t bitsOf(float x) { return std::bit_cast<std::uint32_t>(x); }
inline float floatFromBits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// The same bits, or both NaN (whose payloads the hardware may pick either
// way when two NaNs meet).
inline bool sameFloat(float a, float b) { return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b)); }

// Distance in units in the last place between two finite floats of any sign.
inline std::int64_t ulpDistance(float a, float b) {
    const auto ordered = [](float x) {
        const auto bits = static_cast<std::int64_t>(bitsOf(x));
        return bits & 0x80000000 ? 0x80000000 - bits : bits;
    };
    return std::llabs(ordered(a) - ordered(b));
}
