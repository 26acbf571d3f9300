// FIR filtering in FFT mode: overlap-save against the direct double
// convolution at the run lengths where the entries switch paths and the
// block routine changes shape, continuity across calls that switch between
// the paths, the history an FFT run leaves, and caller-buffer states.
#include <gtest/gtest.h>

#include <cmath>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "dsp.h"
#include "filters/fir_state.h"
#include "fir_reference.h"
#include "float_bits.h"
#include "float_vectors.h"
#include "variants.h"

namespace {

void expectWithinBound(const std::vector<float>& got, const FirReference& ref, std::size_t from,
                       const std::string& what) {
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_LE(std::fabs(static_cast<double>(got[i]) - ref.out[from + i]), ref.bound[from + i] + 1e-30)
            << what << ", output " << from + i << ": " << got[i] << " vs " << ref.out[from + i];
}

// The FFT block is marked before a call; a call that ran the FFT path
// overwrote the mark.
constexpr std::uint32_t kMark = 0x7FC0DEAD;

void markFftBlock(DspsFIRState_32f* s) {
    for (int i = 0; i < s->fftLen; ++i) s->pFFTBlock[i] = floatFromBits(kMark);
}

bool fftBlockUsed(const DspsFIRState_32f* s) {
    for (int i = 0; i < s->fftLen; ++i)
        if (bitsOf(s->pFFTBlock[i]) != kMark) return true;
    return false;
}

// The history is the last tapsLen samples of the stream so far behind a zero
// history: what the direct path leaves.
void expectHistory(const DspsFIRState_32f* s, const std::vector<float>& stream, std::size_t seenCount,
                   const std::string& what) {
    std::vector<float> seen(static_cast<std::size_t>(s->tapsLen), 0.0f);
    seen.insert(seen.end(), stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(seenCount));
    const Dsp32f* history = s->pDlyLine + s->dlyLineIndex;
    ASSERT_EQ(std::vector<float>(history, history + s->tapsLen), std::vector<float>(seen.end() - s->tapsLen, seen.end()))
        << what;
}

// One call of count samples, in place or out of place, after a first call
// that filled the history; the outputs against the reference, and whether
// the FFT ran.
struct RunCase {
    int taps, count;
    bool inPlace, fft;
};

class FirFftTest : public testing::TestWithParam<int> {};

TEST_P(FirFftTest, OverlapSaveEqualsTheDirectConvolutionAtThePathEdges) {
    ScopedVariant forced(GetParam());
    const RunCase cases[] = {
        // Out of place: the FFT from 512 samples on.
        {64, 511, false, false}, {64, 512, false, true}, {127, 512, false, true}, {128, 511, false, false},
        {128, 512, false, true}, {409, 512, false, true}, {1024, 512, false, true}, {1024, 5000, false, true},
        // In place: a block goes the FFT way when more than 511 samples follow.
        {64, 4096 + 511, true, false}, {64, 4096 + 512, true, true}, {409, 4096 + 511, true, false},
        {409, 4096 + 512, true, true}, {631, 4096 + 512, true, true}, {1024, 4096 + 512, true, true},
        {1024, 3 * 4096 + 700, true, true},
        // 631 taps (block 2048, step 1418): one padded block; one full block;
        // a full block and a padded one of one output; from 3466 on the second
        // block straight from the input.
        {631, 600, false, true}, {631, 1418, false, true}, {631, 1419, false, true}, {631, 3466, false, true},
        {631, 3467, false, true}, {631, 2 * 1418 + 2048, false, true}};
    for (const RunCase& c : cases) {
        const std::string what = std::to_string(c.taps) + " taps, " + std::to_string(c.count) +
                                 (c.inPlace ? " in place" : " out of place");
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(c.taps), 60u + c.taps);
        const std::vector<float> input = randomSignal(static_cast<std::size_t>(300 + c.count), 61);
        FirStatePtr s = makeFirState(taps);
        ASSERT_GT(s->fftLen, 0) << what;
        const FirReference ref = firFftReference(taps, input, s->fftLen);
        std::vector<float> first(300);
        ASSERT_EQ(dspsFIR_32f(input.data(), first.data(), 300, s.get()), dspStsNoErr);

        markFftBlock(s.get());
        std::vector<float> out(input.begin() + 300, input.end());
        if (c.inPlace) {
            ASSERT_EQ(dspsFIR_32f_I(out.data(), c.count, s.get()), dspStsNoErr);
        } else {
            ASSERT_EQ(dspsFIR_32f(input.data() + 300, out.data(), c.count, s.get()), dspStsNoErr);
        }
        EXPECT_EQ(fftBlockUsed(s.get()), c.fft) << what;
        expectWithinBound(out, ref, 300, what);
        expectHistory(s.get(), input, input.size(), what);
    }
}

// Calls that alternate between the direct and the FFT path continue one
// stream, in both entries, each leaving the history the direct path would.
TEST_P(FirFftTest, CallsSwitchingPathsContinueTheStream) {
    ScopedVariant forced(GetParam());
    const std::vector<int> calls{600, 100, 1500, 3, 4097, 511, 512, 9000, 1, 4096 + 512};
    std::size_t total = 0;
    for (int c : calls) total += static_cast<std::size_t>(c);
    const std::vector<float> input = randomSignal(total, 62);
    for (int tapsLen : {64, 409, 631}) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 63);
        const FirReference ref = firFftReference(taps, input, 2 * static_cast<int>(std::bit_ceil(static_cast<unsigned>(tapsLen + 1))));
        for (bool inPlace : {false, true}) {
            FirStatePtr s = makeFirState(taps);
            std::size_t at = 0;
            for (int n : calls) {
                const std::string what = std::to_string(tapsLen) + " taps, call of " + std::to_string(n) +
                                         (inPlace ? " in place" : "");
                std::vector<float> out(input.begin() + static_cast<std::ptrdiff_t>(at),
                                       input.begin() + static_cast<std::ptrdiff_t>(at) + n);
                if (inPlace) {
                    ASSERT_EQ(dspsFIR_32f_I(out.data(), n, s.get()), dspStsNoErr);
                } else {
                    ASSERT_EQ(dspsFIR_32f(input.data() + at, out.data(), n, s.get()), dspStsNoErr);
                }
                expectWithinBound(out, ref, at, what);
                at += static_cast<std::size_t>(n);
                expectHistory(s.get(), input, at, what);
            }
        }
    }
}

// A state in a caller's buffer runs the same FFT path as an allocated one,
// and one loaded with a delay line filters as if it had seen that history.
TEST_P(FirFftTest, CallerBufferAndLoadedDelayLine) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps = randomSignal(409, 64), input = randomSignal(3000, 65);
    const std::vector<float> line = randomSignal(409, 66);  // most recent first
    int size = 0;
    ASSERT_EQ(dspsFIRGetStateSize_32f(409, &size), dspStsNoErr);
    std::vector<Dsp8u> buffer(static_cast<std::size_t>(size));
    DspsFIRState_32f* inBuffer = nullptr;
    ASSERT_EQ(dspsFIRInit_32f(&inBuffer, taps.data(), 409, line.data(), buffer.data()), dspStsNoErr);
    FirStatePtr allocated = makeFirState(taps, line.data());
    std::vector<float> a(input.size()), b(input.size());
    ASSERT_EQ(dspsFIR_32f(input.data(), a.data(), 3000, inBuffer), dspStsNoErr);
    ASSERT_EQ(dspsFIR_32f(input.data(), b.data(), 3000, allocated.get()), dspStsNoErr);
    EXPECT_EQ(bitsOfAll(a), bitsOfAll(b));
    expectWithinBound(a, firFftReference(taps, input, 1024, line), 0, "loaded line");
}

// A state built before start-up (generic layout, generic FFT record) keeps
// running the generic bodies under any variant.
TEST_P(FirFftTest, StateBuiltByTheGenericVariantKeepsItsRecord) {
    const std::vector<float> taps = randomSignal(631, 67), input = randomSignal(5000, 68);
    FirStatePtr s;
    {
        ScopedVariant generic(0);
        s = makeFirState(taps);
    }
    ScopedVariant forced(GetParam());
    std::vector<float> out(input.size());
    ASSERT_EQ(dspsFIR_32f(input.data(), out.data(), 5000, s.get()), dspStsNoErr);
    expectWithinBound(out, firFftReference(taps, input, 2048), 0, "generic state");
}

INSTANTIATE_FOR_EACH_VARIANT(FirFftTest);

}  // namespace
