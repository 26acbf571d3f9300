// Reproducible test signals.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

// len samples uniform in [-1, 1), the same for the same seed.
inline std::vector<float> randomSignal(std::size_t len, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> x(len);
    for (float& v : x) v = sample(random);
    return x;
}
