// Comparing and printing whole float vectors that kernels wrote.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dsp.h"
#include "float_bits.h"

// What a kernel call left: the destination's values and the status.
struct VectorOutcome {
    std::vector<float> values;
    DspStatus status;
};

// Bit patterns, so that vectors holding NaNs compare exactly.
inline std::vector<std::uint32_t> bitsOfAll(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    bits.reserve(values.size());
    for (float v : values) bits.push_back(bitsOf(v));
    return bits;
}

inline std::string hexBits(std::uint32_t bits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", bits);
    return text;
}
