// FIR state: mode decision, sizes and carving, tap layouts, delay line,
// caller's buffers, release, and the checks of the set-up functions.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsp.h"
#include "dsp_memory.h"
#include "filters/fir_state.h"
#include "fir_reference.h"
#include "guarded_buffer.h"
#include "variants.h"

namespace {

std::int64_t offsetOf(const DspsFIRState_32f* s, const void* p) {
    return reinterpret_cast<const Dsp8u*>(p) - reinterpret_cast<const Dsp8u*>(s);
}

// The fixed part of every caller's buffer: header, 16 reserved bytes, the
// 4096-float scratch and 16 bytes of rounding room.
constexpr std::int64_t kFixedBytes = kFirHeaderBytes + 16 + 16384 + 16;

TEST(FirModeTest, FftOrderFollowsTheTapCount) {
    const struct {
        std::int64_t taps;
        int order;
    } cases[] = {{1, 0}, {63, 0}, {64, 8}, {127, 8}, {128, 9}, {255, 9}, {409, 10}, {631, 11},
                 // no 32-bit overflow in the search for the power of two
                 {1LL << 30, 32}, {INT_MAX, 32}};
    for (const auto& c : cases) EXPECT_EQ(firFftOrderForTaps(c.taps), c.order) << c.taps << " taps";
}

TEST(FirLayoutTest, FftAreasFollowTheReservedBytesInOrder) {
    // 100 taps, FFT order 8, with the sizes the FFT reports for it.
    const FirFftSizes fft{2368, 0, 1056, 256};
    const std::int64_t t = 400, d = 1216, r = 104, f = 1024;
    const struct {
        FirTapsLayout layout;
        std::int64_t tapArraysAndDelay;
    } cases[] = {{FirTapsLayout::kReversed, t + d},
                 {FirTapsLayout::kQuads, 5 * t + d},
                 {FirTapsLayout::kShiftedCopies, 16 * r + 4 * t + d}};
    for (const auto& c : cases) {
        const FirAreas a = firSingleRateAreas(c.layout, 100, fft);
        const std::int64_t fftStart = kFirHeaderBytes + c.tapArraysAndDelay + 16;
        EXPECT_EQ(a.fftSpec, fftStart);
        EXPECT_EQ(a.tapsSpectrum, fftStart + 2368);
        EXPECT_EQ(a.fftWork, a.tapsSpectrum + f);
        EXPECT_EQ(a.fftBlock, a.fftWork + 1056);
        EXPECT_EQ(a.scratch, a.fftBlock + f);
        EXPECT_EQ(a.end + 16, kFixedBytes + c.tapArraysAndDelay + 2 * f + 2368 + 1056);
    }
}

class FirStateTest : public testing::TestWithParam<int> {
protected:
    FirTapsLayout layout() const { return firTapsLayoutOfLevel(GetParam()); }
};

TEST_P(FirStateTest, DirectModeSizesCoverTheTapArraysOfTheVariant) {
    ScopedVariant forced(GetParam());
    // Bytes of the tap arrays and delay line for 1 and 10 taps, per layout.
    const std::int64_t expected1 = layout() == FirTapsLayout::kReversed ? 48 : layout() == FirTapsLayout::kQuads ? 112 : 160;
    const std::int64_t expected10 = layout() == FirTapsLayout::kReversed ? 192 : layout() == FirTapsLayout::kQuads ? 384 : 592;
    int size = 0;
    ASSERT_EQ(dspsFIRGetStateSize_32f(1, &size), dspStsNoErr);
    EXPECT_EQ(size, kFixedBytes + expected1);
    ASSERT_EQ(dspsFIRGetStateSize_32f(10, &size), dspStsNoErr);
    EXPECT_EQ(size, kFixedBytes + expected10);
}

TEST_P(FirStateTest, SizeNeverShrinksWithMoreTaps) {
    ScopedVariant forced(GetParam());
    int previous = 0;
    for (int taps = 1; taps <= 1100; ++taps) {
        int size = 0;
        ASSERT_EQ(dspsFIRGetStateSize_32f(taps, &size), dspStsNoErr);
        ASSERT_GE(size, previous) << taps << " taps";
        previous = size;
    }
}

TEST_P(FirStateTest, CarvesTenTapsInAnAlignedBuffer) {
    ScopedVariant forced(GetParam());
    int size = 0;
    ASSERT_EQ(dspsFIRGetStateSize_32f(10, &size), dspStsNoErr);
    GuardedBuffer buffer(static_cast<std::size_t>(size), 0);
    const std::vector<float> taps = randomSignal(10, 1);
    DspsFIRState_32f* s = nullptr;
    ASSERT_EQ(dspsFIRInit_32f(&s, taps.data(), 10, nullptr, buffer.bytes()), dspStsNoErr);
    ASSERT_EQ(reinterpret_cast<Dsp8u*>(s), buffer.bytes());
    // Offsets past the header: reversed taps, delay line, tap quads, scratch.
    const struct {
        std::int64_t dly, quad, scratch;
    } expected = layout() == FirTapsLayout::kReversed ? decltype(expected){48, -1, 208}
                 : layout() == FirTapsLayout::kQuads  ? decltype(expected){48, 192, 400}
                                                      : decltype(expected){256, 400, 608};
    EXPECT_EQ(offsetOf(s, s->pTapsRev), kFirHeaderBytes);
    EXPECT_EQ(offsetOf(s, s->pDlyLine), kFirHeaderBytes + expected.dly);
    if (expected.quad < 0)
        EXPECT_EQ(s->pTapsQuad, nullptr);
    else
        EXPECT_EQ(offsetOf(s, s->pTapsQuad), kFirHeaderBytes + expected.quad);
    EXPECT_EQ(offsetOf(s, s->pScratch), kFirHeaderBytes + expected.scratch);
    EXPECT_EQ(s->pFFTBlock, s->pScratch);
    // The state ends 16 bytes before the end of a buffer of exactly the size.
    EXPECT_EQ(offsetOf(s, s->pScratch) + 16384 + 16, size);
    EXPECT_EQ(s->id, kFirIdSingleRate);
    EXPECT_EQ(s->isAllocated, 0);
    EXPECT_EQ(s->tapsLen, 10);
    EXPECT_EQ(s->dlyLineLen, 10);
    EXPECT_EQ(s->dlyFillLen, 13);
    EXPECT_EQ(s->dlyLineIndex, 0);
    EXPECT_EQ(s->pPhaseTable, nullptr);
}

TEST_P(FirStateTest, LaysOutTheTapsForTheVariantsKernels) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps{1.5f, -2.25f};
    FirStatePtr s = makeFirState(taps);
    ASSERT_TRUE(s);
    std::vector<float> rev;
    if (layout() == FirTapsLayout::kShiftedCopies) {
        rev.assign(s->pTapsRev, s->pTapsRev + 32);
        const std::vector<float> expected{-2.25f, 1.5f, 0, 0, 0, 0, 0, 0,  //
                                          0, -2.25f, 1.5f, 0, 0, 0, 0, 0,  //
                                          0, 0, -2.25f, 1.5f, 0, 0, 0, 0,  //
                                          0, 0, 0, -2.25f, 1.5f, 0, 0, 0};
        EXPECT_EQ(rev, expected);
    } else {
        rev.assign(s->pTapsRev, s->pTapsRev + 2);
        EXPECT_EQ(rev, (std::vector<float>{-2.25f, 1.5f}));
    }
    if (layout() == FirTapsLayout::kReversed) {
        EXPECT_EQ(s->pTapsQuad, nullptr);
    } else {
        const std::vector<float> quads(s->pTapsQuad, s->pTapsQuad + 8);
        EXPECT_EQ(quads, (std::vector<float>{1.5f, 1.5f, 1.5f, 1.5f, -2.25f, -2.25f, -2.25f, -2.25f}));
    }
}

TEST_P(FirStateTest, KeepsTheDelayLineOldestFirst) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps{1, 2, 3}, line{1, 2, 3};
    FirStatePtr s = makeFirState(taps, line.data());
    ASSERT_TRUE(s);
    EXPECT_EQ(std::vector<float>(s->pDlyLine, s->pDlyLine + 3), (std::vector<float>{3, 2, 1}));

    // A null line clears the history, whatever the buffer held.
    s->pDlyLine[0] = s->pDlyLine[1] = s->pDlyLine[2] = NAN;
    s->dlyLineIndex = 2;
    ASSERT_EQ(dspsFIRSetDlyLine_32f(s.get(), nullptr), dspStsNoErr);
    EXPECT_EQ(std::vector<float>(s->pDlyLine, s->pDlyLine + 3), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(s->dlyLineIndex, 0);
    const std::vector<float> other{7, 8, 9};
    ASSERT_EQ(dspsFIRSetDlyLine_32f(s.get(), other.data()), dspStsNoErr);
    EXPECT_EQ(std::vector<float>(s->pDlyLine, s->pDlyLine + 3), (std::vector<float>{9, 8, 7}));
}

// The real FFT is not in the library yet: states that would run in FFT mode
// are built (and sized) in direct mode, the fallback of any FFT failure.
// From 64 taps a state runs in FFT mode, with fftLen twice the power of two
// above tapsLen, allocated or in a caller's buffer; the size a caller is told
// holds the FFT's specification, set-up memory and work buffer as the FFT
// reports them for the variant's record.
TEST_P(FirStateTest, FftModeFromSixtyFourTaps) {
    ScopedVariant forced(GetParam());
    const struct {
        int taps, fftLen;
    } cases[] = {{63, -1}, {64, 256}, {127, 256}, {128, 512}, {409, 1024}, {631, 2048}, {1024, 4096}};
    for (const auto& c : cases) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(c.taps), 2);
        FirStatePtr s = makeFirState(taps);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->fftLen, c.fftLen) << c.taps << " taps";
        EXPECT_EQ(s->pFFTSpec != nullptr, c.fftLen > 0);
        EXPECT_EQ(s->pTapsSpectrum != nullptr, c.fftLen > 0);

        const int order = firFftOrderForTaps(c.taps);
        FirFftSizes fft;
        if (order > 0) {
            int spec = 0, init = 0, work = 0;
            ASSERT_EQ(dspsFFTGetSize_R_32f(order, dspFftDivInvByN, 0, &spec, &init, &work), dspStsNoErr);
            fft = FirFftSizes{spec, init, work, std::int64_t{1} << order};
        }
        int size = 0;
        ASSERT_EQ(dspsFIRGetStateSize_32f(c.taps, &size), dspStsNoErr);
        EXPECT_EQ(size, firSingleRateAreas(layout(), c.taps, fft).end + 16) << c.taps << " taps";

        std::vector<Dsp8u> buffer(static_cast<std::size_t>(size));
        DspsFIRState_32f* inBuffer = nullptr;
        ASSERT_EQ(dspsFIRInit_32f(&inBuffer, taps.data(), c.taps, nullptr, buffer.data()), dspStsNoErr);
        EXPECT_EQ(inBuffer->fftLen, c.fftLen) << c.taps << " taps in a caller's buffer";
        EXPECT_EQ(inBuffer->isAllocated, 0);
    }
}

// Every tap count the engine uses and the mode boundaries, at every offset
// of the caller's buffer: the state fits, including the scratch that the
// in-place filter writes, and release leaves the buffer alone.
TEST_P(FirStateTest, CallerBufferOfTheReportedSizeHoldsTheStateAtAnyOffset) {
    ScopedVariant forced(GetParam());
    for (int tapsLen : {1, 10, 31, 32, 63, 64, 409, 631}) {
        int size = 0;
        ASSERT_EQ(dspsFIRGetStateSize_32f(tapsLen, &size), dspStsNoErr);
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 3);
        std::vector<float> block = randomSignal(4096 + 512, 4);
        for (std::size_t offset = 0; offset < 32; ++offset) {
            GuardedBuffer buffer(static_cast<std::size_t>(size), offset);
            buffer.fill(0xEE);
            DspsFIRState_32f* s = nullptr;
            ASSERT_EQ(dspsFIRInit_32f(&s, taps.data(), tapsLen, nullptr, buffer.bytes()), dspStsNoErr);
            const auto base = reinterpret_cast<std::uintptr_t>(buffer.bytes());
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s), (base + 15) & ~std::uintptr_t{15});
            // 4096 + 512 samples: an FFT block, then a direct one.
            ASSERT_EQ(dspsFIR_32f_I(block.data(), 4096 + 512, s), dspStsNoErr);
            ASSERT_TRUE(buffer.guardsIntact()) << tapsLen << " taps, offset " << offset;

            std::vector<unsigned char> before(buffer.bytes(), buffer.bytes() + size);
            EXPECT_EQ(dspsFIRFree_32f(s), dspStsNoErr);
            EXPECT_TRUE(std::equal(before.begin(), before.end(), buffer.bytes()));
        }
    }
}

TEST_P(FirStateTest, SizesBeyondTheIntRangeAreRefused) {
    ScopedVariant forced(GetParam());
    const float taps[1] = {1.0f};
    for (int tapsLen : {200'000'000, INT_MAX}) {
        int size = -1;
        EXPECT_EQ(dspsFIRGetStateSize_32f(tapsLen, &size), dspStsMemAllocErr);
        EXPECT_EQ(size, -1);
        auto* untouched = reinterpret_cast<DspsFIRState_32f*>(0x10);
        DspsFIRState_32f* s = untouched;
        unsigned char buffer[64] = {};
        EXPECT_EQ(dspsFIRInit_32f(&s, taps, tapsLen, nullptr, buffer), dspStsMemAllocErr);
        EXPECT_EQ(s, untouched);
        EXPECT_EQ(dspsFIRInitAlloc_32f(&s, taps, tapsLen, nullptr), dspStsMemAllocErr);
        EXPECT_EQ(s, nullptr);
    }
}

// A failed allocation leaves no stale pointer for the owner to free again.
TEST_P(FirStateTest, FailedAllocationLeavesANullState) {
    ScopedVariant forced(GetParam());
    const DspMemHooks saved = dspMemHooks;
    dspMemHooks.allocate = [](std::size_t) -> void* { return nullptr; };
    const std::vector<float> taps = randomSignal(20, 5);
    auto* stale = reinterpret_cast<DspsFIRState_32f*>(0x10);
    DspsFIRState_32f* s = stale;
    const DspStatus status = dspsFIRInitAlloc_32f(&s, taps.data(), 20, nullptr);
    dspMemHooks = saved;
    EXPECT_EQ(status, dspStsMemAllocErr);
    EXPECT_EQ(s, nullptr);
}

// With FFT mode the set-up allocates more than once. Whichever allocation
// fails, the caller gets either a working state or a null one, and nothing
// made before the failure is left behind (the leak check sees the rest).
int allocationsBeforeFailure = 0;

TEST_P(FirStateTest, AnyFailedAllocationOfAnFftStateLeavesANullStateAndNoLeak) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps = randomSignal(128, 6);
    const DspMemHooks saved = dspMemHooks;
    for (int succeeding = 0; succeeding < 4; ++succeeding) {
        allocationsBeforeFailure = succeeding;
        dspMemHooks.allocate = [](std::size_t bytes) -> void* {
            if (allocationsBeforeFailure-- <= 0) return nullptr;
            return std::malloc(bytes);
        };
        auto* stale = reinterpret_cast<DspsFIRState_32f*>(0x10);
        DspsFIRState_32f* s = stale;
        const DspStatus status = dspsFIRInitAlloc_32f(&s, taps.data(), 128, nullptr);
        dspMemHooks = saved;
        if (status == dspStsNoErr) {
            ASSERT_NE(s, nullptr) << "after " << succeeding << " allocations";
            dspsFIRFree_32f(s);
        } else {
            EXPECT_EQ(status, dspStsMemAllocErr) << "after " << succeeding << " allocations";
            EXPECT_EQ(s, nullptr) << "after " << succeeding << " allocations";
        }
    }
}

TEST_P(FirStateTest, ChecksComeInOrderAndWriteNothing) {
    ScopedVariant forced(GetParam());
    const float taps[2] = {1, 2};
    unsigned char buffer[20000];
    auto* untouched = reinterpret_cast<DspsFIRState_32f*>(0x10);
    DspsFIRState_32f* s = untouched;
    int size = -1;
    const struct {
        const char* call;
        DspStatus got, expected;
    } cases[] = {
        {"InitAlloc null state", dspsFIRInitAlloc_32f(nullptr, nullptr, 0, nullptr), dspStsNullPtrErr},
        {"InitAlloc null taps", dspsFIRInitAlloc_32f(&s, nullptr, 0, nullptr), dspStsNullPtrErr},
        {"InitAlloc no taps", dspsFIRInitAlloc_32f(&s, taps, 0, nullptr), dspStsFIRLenErr},
        {"InitAlloc negative", dspsFIRInitAlloc_32f(&s, taps, -3, nullptr), dspStsFIRLenErr},
        {"Init null state", dspsFIRInit_32f(nullptr, taps, 0, nullptr, buffer), dspStsNullPtrErr},
        {"Init null taps", dspsFIRInit_32f(&s, nullptr, 0, nullptr, buffer), dspStsNullPtrErr},
        {"Init null buffer", dspsFIRInit_32f(&s, taps, 0, nullptr, nullptr), dspStsNullPtrErr},
        {"Init no taps", dspsFIRInit_32f(&s, taps, 0, nullptr, buffer), dspStsFIRLenErr},
        {"GetStateSize null", dspsFIRGetStateSize_32f(0, nullptr), dspStsNullPtrErr},
        {"GetStateSize no taps", dspsFIRGetStateSize_32f(0, &size), dspStsFIRLenErr},
        {"SetDlyLine null", dspsFIRSetDlyLine_32f(nullptr, taps), dspStsNullPtrErr},
        {"Free null", dspsFIRFree_32f(nullptr), dspStsNullPtrErr},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.call;
    EXPECT_EQ(s, untouched);
    EXPECT_EQ(size, -1);
}

TEST_P(FirStateTest, ForeignStatesAreRefusedAndFreeAcceptsTheShortTapKinds) {
    ScopedVariant forced(GetParam());
    DspsFIRState_32f record{};
    std::vector<float> line(4, 1.0f);
    record.pDlyLine = line.data();
    record.dlyLineLen = 4;
    const struct {
        Dsp32u id;
        DspStatus setDlyLine, free;
    } cases[] = {{0x49493138, dspStsContextMatchErr, dspStsContextMatchErr},  // a biquad state
                 {0, dspStsContextMatchErr, dspStsContextMatchErr},
                 {kFirIdShortTap, dspStsContextMatchErr, dspStsNoErr},
                 {kFirIdShortTapDecimate, dspStsContextMatchErr, dspStsNoErr},
                 {kFirIdMultirate, dspStsNoErr, dspStsNoErr}};
    for (const auto& c : cases) {
        record.id = c.id;
        EXPECT_EQ(dspsFIRSetDlyLine_32f(&record, nullptr), c.setDlyLine) << std::hex << c.id;
        EXPECT_EQ(dspsFIRFree_32f(&record), c.free) << std::hex << c.id;  // isAllocated 0: nothing released
        EXPECT_EQ(record.id, c.id);
    }
}

INSTANTIATE_FOR_EACH_VARIANT(FirStateTest);

}  // namespace
