// The plan of each processor variant and the sizes of its records.
//
// Size formulas reserve, table by table, at least what the builders in
// fft_tables.cpp lay out, so a record built from memory of the reported size
// at any address stays inside it.
#include "fft/fft_plan.h"

#include <algorithm>
#include <array>

#include "fft/fft_spec.h"

namespace {

using StepTable = std::array<std::int8_t, 31>;

// Entries from `first` on take `values`, the last value repeating to m = 30;
// entries below `first` are never read (0).
template <std::size_t K>
constexpr StepTable stepTable(int first, const std::int8_t (&values)[K]) {
    StepTable t{};
    for (int m = first; m <= 30; ++m) t[m] = values[std::min<std::size_t>(m - first, K - 1)];
    return t;
}

// n2..n4 split 17 -> 14 (s 3), 18..20 by 4, 21 by 5, from 22 on by 8.
constexpr StepTable kSseSplitOrders = stepTable(17, {3, 4, 4, 4, 5, 8});
constexpr StepTable kSseGroupOrders = stepTable(17, {9, 10, 10, 10, 13, 15});
constexpr StepTable kSse2SplitOrders = stepTable(16, {4, 4, 4, 5, 6, 6, 8});
constexpr StepTable kSse2GroupOrders = stepTable(16, {9, 10, 10, 13, 13, 13, 14});
// n0: 0 at m = 11 and 12 selects the blocked leaf (1024-point pieces joined
// by radix-2 stages) instead of a split.
constexpr StepTable kGenericSplitOrders = stepTable(13, {5, 6, 7, 8, 8, 8, 10, 10, 10, 10, 8, 8, 10});

constexpr FftVariantPlan kGenericPlan{FftLayout::generic, 5, 10, 31, 0, kGenericSplitOrders.data(), nullptr};
constexpr FftVariantPlan kSse2Plan{FftLayout::sse2, 4, 15, 17, 18, kSse2SplitOrders.data(), kSse2GroupOrders.data()};
constexpr FftVariantPlan kSse3Plan{FftLayout::sse, 4, 16, 18, 0, kSseSplitOrders.data(), kSseGroupOrders.data()};
constexpr FftVariantPlan kSsse3Plan{FftLayout::sse, 4, 17, 19, 20, kSseSplitOrders.data(), kSseGroupOrders.data()};

constexpr std::int64_t round32(std::int64_t x) { return (x + 31) & ~std::int64_t{31}; }
constexpr std::int64_t pow2(int k) { return std::int64_t{1} << k; }

// A table of `bytes` bytes that starts at any 4-byte-aligned address and is
// followed by a 32-byte-aligned one (the bit-reverse table after the header).
constexpr std::int64_t unalignedTable(std::int64_t bytes) { return (bytes + 35) & ~std::int64_t{31}; }
// 8*2^r bytes of radix twiddles, and the boundary after them.
constexpr std::int64_t radixTable(int r) { return (8 * pow2(r) + 39) & ~std::int64_t{31}; }

struct RecursionSizes {
    std::int64_t tables;
    std::int64_t init;
    std::int64_t work;
};

RecursionSizes vectorRecursionSizes(const FftVariantPlan& plan, int k) {
    const int s = plan.splitOrders[k];
    const int r = k - s;
    RecursionSizes sizes = r <= plan.lastDirectM ? RecursionSizes{radixTable(r), 0, 8 * pow2(r)}
                                                 : vectorRecursionSizes(plan, r);
    sizes.tables += 8 * pow2(k);  // cross twiddles of this level
    sizes.work = std::max(sizes.work, 8 * pow2(plan.groupOrders[k]));
    return sizes;
}

// A blocked leaf of order k: 1024-point radix twiddles and the join table.
constexpr RecursionSizes genericBlockedLeaf(int k) { return {round32(2 * pow2(k)) + 8224, 0, 0}; }

RecursionSizes genericRecursionSizes(const FftVariantPlan& plan, int k) {
    const int s = plan.splitOrders[k];
    if (s == 0) return genericBlockedLeaf(k);
    const int r = k - s;
    RecursionSizes sizes = r <= plan.lastDirectM        ? RecursionSizes{radixTable(r), 0, 0}
                           : plan.splitOrders[r] == 0 ? genericBlockedLeaf(r)
                                                      : genericRecursionSizes(plan, r);
    sizes.tables += radixTable(s) + 8 * pow2(k);  // column twiddles and cross twiddles
    // Four scratch columns of 2^s values, and a bit-reverse pair table of
    // order s, to build the cross twiddles in.
    sizes.init += unalignedTable(pow2(s)) + 32 * pow2(s);
    sizes.work = std::max(sizes.work, 32 * pow2(s));
    return sizes;
}

}  // namespace

const FftVariantPlan& fftVariantPlan(int variant) {
    static constexpr const FftVariantPlan* kPlans[5] = {&kGenericPlan, &kSse2Plan, &kSse3Plan, &kSsse3Plan,
                                                        &kSsse3Plan};
    return *kPlans[variant];
}

FftSpecSizes fftSpecSizes(const FftVariantPlan& plan, int order) {
    constexpr auto margin = static_cast<std::int64_t>(kFftSpecMarginBytes);
    if (order <= plan.headerOnlyMaxOrder) return {margin, 0, 0};
    const int m = order - 1;
    const std::int64_t n = pow2(order), halfN = pow2(m);
    RecursionSizes parts{0, 0, 0};
    if (m > plan.lastDirectM) {
        parts = plan.layout == FftLayout::generic ? genericRecursionSizes(plan, m) : vectorRecursionSizes(plan, m);
        if (m >= plan.tiledFromM) parts.work = std::max<std::int64_t>(parts.work, 65536);
        parts.tables += unalignedTable(halfN);  // bit-reverse table
    } else if (m >= 6) {
        parts.tables = radixTable(m) + unalignedTable(halfN);
        parts.work = plan.layout == FftLayout::generic ? 0 : 8 * halfN;
    }
    const std::int64_t split = 2 * round32(2 * n);  // forward and inverse split twiddles
    return {parts.tables + split + margin, order >= 11 ? unalignedTable(n) + parts.init + 32 : 0,
            parts.work > 0 ? parts.work + 32 : 0};
}
