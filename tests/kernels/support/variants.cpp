#include "variants.h"

#include <cpuid.h>

#include "cpuid_fake.h"
#include "dsp.h"
#include "dsp_dispatch.h"

std::vector<int> supportedVariants() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(1, a, b, c, d);
    using namespace cpuid_bits;
    std::vector<int> variants{0};
    if (d & kEdxSse2) variants.push_back(1);
    if (c & kEcxSse3) variants.push_back(2);
    if (c & kEcxSsse3) variants.push_back(3);
    if (c & kEcxSse41) variants.push_back(4);
    return variants;
}

int cpuCodeForVariant(int index) {
    static constexpr int kCodes[5] = {-1, 6, 8, 33, 35};
    return kCodes[index];
}

std::string variantName(const testing::TestParamInfo<int>& info) {
    std::string name = "n";  // appended, not "n" + ...: GCC 12 warns falsely on that form
    name += std::to_string(info.param);
    return name;
}

ScopedVariant::ScopedVariant(int index) : savedIndex_(dspCurrentVariant()) {
    EXPECT_EQ(dspStaticInitCpu(cpuCodeForVariant(index)), dspStsNoErr);
}

ScopedVariant::~ScopedVariant() { dspDispatchIndex.store(savedIndex_); }
