// One filtering call of an IIR family, in place or out of place, with its
// source and destination placed at any byte offset and ending at their heap
// blocks (so the sanitizer sees reads and writes past them), checking that
// the source and the bytes before each vector are left alone.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "placed_floats.h"

// filter(src, dst, len, state) and filterInPlace(srcDst, len, state): the
// bodies of one variant. The destination lies 8 bytes further on than the
// source, modulo 16, so the two are aligned differently.
template <class State, class Filter, class FilterInPlace>
std::vector<float> filterPlaced(Filter filter, FilterInPlace filterInPlace, State* state,
                                const std::vector<float>& x, bool inPlace, std::size_t offset) {
    const int len = static_cast<int>(x.size());
    if (inPlace) {
        PlacedFloats buffer(x, offset);
        EXPECT_EQ(filterInPlace(buffer.data(), len, state), dspStsNoErr);
        EXPECT_TRUE(buffer.prefixIntact());
        return buffer.values();
    }
    PlacedFloats src(x, offset), dst(std::vector<float>(x.size(), -7.0f), (offset + 8) % 16);
    EXPECT_EQ(filter(src.data(), dst.data(), len, state), dspStsNoErr);
    EXPECT_EQ(std::memcmp(src.values().data(), x.data(), x.size() * sizeof(float)), 0) << "source changed";
    EXPECT_TRUE(dst.prefixIntact());
    return dst.values();
}

// "n0".."n4" (built by append: g++ 12 warns falsely on "n" + std::string).
inline std::string variantLabel(int v) {
    std::string label = "n";
    label += static_cast<char>('0' + v);
    return label;
}
