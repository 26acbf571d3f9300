// Running the real FFT in tests: a record of one variant, and transforms
// with the destination and work buffer in guarded memory at any offset.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "dsp.h"

// A record built by InitAlloc of one variant, freed at the end of the scope.
class FftRecord {
public:
    FftRecord(int variant, int order, int flag);
    ~FftRecord();
    FftRecord(const FftRecord&) = delete;
    FftRecord& operator=(const FftRecord&) = delete;

    DspsFFTSpec_R_32f* get() const { return spec_; }
    int order() const { return order_; }
    std::size_t length() const { return std::size_t{1} << order_; }
    // dspsFFTGetBufSize_R_32f.
    int bufferSize() const;

private:
    DspsFFTSpec_R_32f* spec_ = nullptr;
    int order_;
};

using FftEntry = DspStatus (*)(const Dsp32f*, Dsp32f*, const DspsFFTSpec_R_32f*, Dsp8u*);

struct FftCallOptions {
    bool inPlace = false;
    bool callersBuffer = true;  // else null: the entry allocates its own
    std::size_t offset = 0;     // bytes past a 64-byte boundary, source and destination
};

// Runs one transform; fails the test on a non-zero status, a write outside
// the destination or the work buffer, or a changed source.
std::vector<float> runFft(FftEntry entry, const FftRecord& record, const std::vector<float>& input,
                          FftCallOptions options = {});

// Orders too large for a double reference (hundreds of MB): the spectrum of
// a random signal checked by its energy (Parseval) and the round trip, and
// the placement of the bins by a cosine, whose spectrum is one bin.
void checkHugeOrder(int variant, int order);

// The vector variants (1..4) this processor runs.
std::vector<int> fftVectorVariants();

// The orders from `lowest` to `highest` on either side of a change in some
// vector variant's inverse plan: the in-cache transform's last order, the
// radix-pass order, the first recursive order, the first tiled bit
// reversal, every change of the split and the first second cross level.
std::vector<int> inversePlanChangeOrders(int lowest, int highest);

// At one order, in every vector variant: the unscaled inverse of a random
// Perm spectrum against the double inverse DFT, forward then inverse with
// the 1/N flag back to the signal, the inverse in place and at an unaligned
// address the same bits; and n2, n3 and n4 the same bits.
void checkInverseAtOrder(int order);

// At one order, in every vector variant: the unscaled forward transform of
// a random signal against the double spectrum; in place with the entry's
// own buffer and at unaligned addresses the same bits; the 1/N flag the
// unscaled result divided by N; n3 the same bits as n4, and n2 wherever it
// takes the same kind of rung as n4. The forward plan changes at the orders
// inversePlanChangeOrders lists.
void checkForwardAtOrder(int order);
