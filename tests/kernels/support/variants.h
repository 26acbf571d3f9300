// Running a test once per processor variant this machine can execute.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

// Variant indices 0..4 (n0 generic .. n4 SSE4.1) the processor supports.
std::vector<int> supportedVariants();

// Processor code that makes dspStaticInitCpu select a variant index.
int cpuCodeForVariant(int index);

// "n0".."n4", for test names.
std::string variantName(const testing::TestParamInfo<int>& info);

// Forces a variant for the lifetime of the object, then restores the index.
class ScopedVariant {
public:
    explicit ScopedVariant(int index);
    ~ScopedVariant();
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

private:
    int savedIndex_;
};

// Instantiate a TEST_P suite taking the variant index as parameter:
//   INSTANTIATE_FOR_EACH_VARIANT(ZeroTest);
#define INSTANTIATE_FOR_EACH_VARIANT(suite) \
    INSTANTIATE_TEST_SUITE_P(Variants, suite, ::testing::ValuesIn(supportedVariants()), variantName)
