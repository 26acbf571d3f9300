// The vector variants' inverse real FFT on both sides of every change of
// plan: the last in-cache order, the radix-pass order, the first recursive
// order, the first tiled bit reversal, each change of the split, the first
// second cross level. Each order against the double inverse DFT of the same
// Perm spectrum and by a round trip, and the variants that share a plan
// (n2, n3 and n4 from the same stages) bit for bit.
#include <gtest/gtest.h>

#include "fft_test_support.h"

namespace {

// Orders up to 21 here; the larger ones with the large tests
// (fft_vector_large_test.cpp).
TEST(FftVectorInverse, AroundEveryPlanChangeUpToOrder21) {
    for (const int order : inversePlanChangeOrders(15, 21)) checkInverseAtOrder(order);
}

}  // namespace
