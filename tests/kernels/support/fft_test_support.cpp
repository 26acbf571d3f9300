#include "fft_test_support.h"

#include <gtest/gtest.h>

#include "fft/fft_spec.h"
#include "guarded_buffer.h"

FftRecord::FftRecord(int variant, int order, int flag) : order_(order) {
    EXPECT_EQ(dspsFFTInitAlloc_R_32f_table[variant](&spec_, order, flag, 0), dspStsNoErr)
        << "variant " << variant << " order " << order;
}

FftRecord::~FftRecord() {
    if (spec_ != nullptr) dspsFFTFree_R_32f(spec_);
}

int FftRecord::bufferSize() const {
    int size = -1;
    EXPECT_EQ(dspsFFTGetBufSize_R_32f(spec_, &size), dspStsNoErr);
    return size;
}

std::vector<float> runFft(FftEntry entry, const FftRecord& record, const std::vector<float>& input,
                          FftCallOptions options) {
    const std::size_t bytes = input.size() * sizeof(float);
    GuardedBuffer src(bytes, options.offset), dst(bytes, options.offset);
    std::memcpy(src.bytes(), input.data(), bytes);
    GuardedBuffer* out = options.inPlace ? &src : &dst;
    const int workBytes = record.bufferSize();
    // The caller's buffer at an odd address: the entry must align it itself.
    GuardedBuffer work(static_cast<std::size_t>(workBytes), 3);
    Dsp8u* buffer = options.callersBuffer && workBytes > 0 ? work.bytes() : nullptr;
    EXPECT_EQ(entry(src.as<Dsp32f>(), out->as<Dsp32f>(), record.get(), buffer), dspStsNoErr);
    EXPECT_TRUE(src.guardsIntact() && dst.guardsIntact()) << "write outside the destination";
    EXPECT_TRUE(work.guardsIntact()) << "write outside the work buffer";
    if (!options.inPlace) {
        EXPECT_EQ(std::memcmp(src.bytes(), input.data(), bytes), 0) << "source changed";
    }
    std::vector<float> result(input.size());
    std::memcpy(result.data(), out->bytes(), bytes);
    return result;
}
