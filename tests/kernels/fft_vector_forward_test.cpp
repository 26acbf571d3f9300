// The vector variants' forward real FFT on both sides of every change of
// plan: the last in-cache order, the bit-reversal rung, the first recursive
// order, the first tiled bit reversal, each change of the split. Each order
// against the double spectrum, the ways of calling that must give the same
// bits, forward scaling, and the variants that share their operations bit
// for bit.
#include <gtest/gtest.h>

#include "fft_test_support.h"

namespace {

// Orders up to 21 here; the larger ones with the large tests
// (fft_vector_large_test.cpp).
TEST(FftVectorForward, AroundEveryPlanChangeUpToOrder21) {
    for (const int order : inversePlanChangeOrders(15, 21)) checkForwardAtOrder(order);
}

}  // namespace
