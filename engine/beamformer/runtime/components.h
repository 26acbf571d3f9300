// The spherical-harmonic components the beamformer works on: orders 0..3,
// component k = n^2 + n + m of order n and degree m = -n..n.
#pragma once

namespace orvelan::beamformer {

inline constexpr int kMaxComponentOrders = 4;

// The highest order of a set of (order + 1)^2 components: 0, 1, 2 or 3 for
// 1, 4, 9 or 16 channels, else -1.
constexpr int highestOrderFor(int channels) {
    for (int n = 0; n < kMaxComponentOrders; ++n)
        if ((n + 1) * (n + 1) == channels) return n;
    return -1;
}

}  // namespace orvelan::beamformer
