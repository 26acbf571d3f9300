// Float-tap biquad cascades, "II02" (transposed direct form II) and "II29"
// (direct form I, four outputs per step from block taps): every variant
// against a double reference for 1..6 sections around every path switch, in
// place and out of place at every offset, continuity across calls, delay
// lines in and out, refused taps that change nothing, and the block taps.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filters/iir32f.h"
#include "iir64f_reference.h"
#include "iir_filter_call.h"
#include "placed_floats.h"
#include "variants.h"

namespace {

using State = DspsIIRState_32f;
using InitAlloc = decltype(&dsp_n0::iirInitAllocBiquad32f);

InitAlloc builderOf(int v) {
    const InitAlloc builders[] = {dsp_n0::iirInitAllocBiquad32f, dsp_n1::iirInitAllocBiquad32f,
                                  dsp_n2::iirInitAllocBiquad32f, dsp_n3::iirInitAllocBiquad32f,
                                  dsp_n4::iirInitAllocBiquad32f};
    return builders[v];
}

std::vector<float> floatTaps(const std::vector<double>& taps) { return {taps.begin(), taps.end()}; }
std::vector<double> doubleTaps(const std::vector<float>& taps) { return {taps.begin(), taps.end()}; }

State* createBiquad(int v, Dsp32u id, const std::vector<float>& taps, const float* delay = nullptr) {
    State* state = nullptr;
    EXPECT_EQ(builderOf(v)(&state, taps.data(), static_cast<int>(taps.size() / 6), delay, id), dspStsNoErr);
    return state;
}

std::vector<float> delayOf(int v, const State* state) {
    std::vector<float> delay(state->dlyLineLen);
    EXPECT_EQ(dspsIIRGetDlyLine_32f_table[v](state, delay.data()), dspStsNoErr);
    return delay;
}

std::vector<float> filterOnce(int v, State* state, const std::vector<float>& x, bool inPlace, std::size_t offset) {
    return filterPlaced(dspsIIR_32f_table[v], dspsIIR_32f_I_table[v], state, x, inPlace, offset);
}

// Single-precision cascades stay within a small multiple of float rounding
// of the signal's peak; poles near z = 1 (a high-pass) amplify that rounding
// several times, hence the looser bound there.
void expectClose(const std::vector<float>& out, const std::vector<double>& y, const std::string& what,
                 double relative = 2e-5) {
    double peak = 1e-30;
    for (double v : y) peak = std::max(peak, std::fabs(v));
    int reported = 0;
    for (std::size_t i = 0; i < y.size() && reported < 5; ++i)
        if (!(std::fabs(out[i] - y[i]) <= relative * peak)) {
            ADD_FAILURE() << what << ": output " << i << " is " << out[i] << ", reference " << y[i];
            ++reported;
        }
}

std::string label(int v, Dsp32u id) {
    std::string text = id == kIirIdBiquad32f ? "II02 n" : "II29 n";
    text += static_cast<char>('0' + v);
    return text;
}

class Iir32fBiquadTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

std::vector<int> lengthsFor(int sections) {
    std::vector<int> lengths = {1, 2, 3, 4, 5, 4 * sections, 4 * sections + 1, 4 * sections + 2, 4 * sections + 3,
                                37, 1023, 1024, 1025, 2100};
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    return lengths;
}

TEST_P(Iir32fBiquadTest, CascadesStayCloseToTheReference) {
    const int v = variant();
    for (Dsp32u id : {kIirIdBiquad32f, kIirIdBiquadBlock32f}) {
        for (int sections = 1; sections <= 6; ++sections) {
            const std::vector<float> taps = floatTaps(randomStableTaps(sections, 300 + sections));
            for (int len : lengthsFor(sections)) {
                const std::vector<float> x = randomSignal(len, 11 * len + sections);
                BiquadCascadeReference reference(doubleTaps(taps));
                const std::vector<double> y = reference.run(x);
                for (bool inPlace : {false, true}) {
                    for (std::size_t offset : {0u, 4u, 8u, 12u, 2u}) {
                        State* state = createBiquad(v, id, taps);
                        const std::string what = label(v, id) + " " + std::to_string(sections) + " sections, len " +
                                                 std::to_string(len) + (inPlace ? " in place" : "") + " offset " +
                                                 std::to_string(offset);
                        expectClose(filterOnce(v, state, x, inPlace, offset), y, what);
                        if (id == kIirIdBiquad32f) {
                            const std::vector<float> delay = delayOf(v, state);
                            double scale = 1.0;
                            for (double d : reference.delay()) scale = std::max(scale, std::fabs(d));
                            for (std::size_t j = 0; j < delay.size(); ++j)
                                EXPECT_NEAR(delay[j], reference.delay()[j], 2e-5 * scale) << what << " delay " << j;
                        } else {
                            // Section 0 keeps its last two inputs exactly.
                            EXPECT_EQ(state->pDlyLine[1], x[len - 1]) << what;
                            if (len >= 2) {
                                EXPECT_EQ(state->pDlyLine[0], x[len - 2]) << what;
                            }
                        }
                        dspsIIRFree_32f_table[v](state);
                    }
                }
            }
        }
    }
}

// Calls of any lengths continue from the delay line, and a delay line
// read out and loaded into a fresh state continues the same way.
TEST_P(Iir32fBiquadTest, CallsContinueAndDelayLinesRoundTrip) {
    const int v = variant();
    for (Dsp32u id : {kIirIdBiquad32f, kIirIdBiquadBlock32f}) {
        const std::vector<float> taps = floatTaps(highPassTaps(3, 160, 48000));
        const std::vector<float> x = randomSignal(2600, 9);
        BiquadCascadeReference reference(doubleTaps(taps));
        const std::vector<double> y = reference.run(x);
        State* state = createBiquad(v, id, taps);
        std::vector<float> out;
        std::size_t at = 0;
        for (int piece : {1, 2, 3, 12, 13, 1030, 5, 1500, 34}) {
            const std::vector<float> part = filterOnce(
                v, state, std::vector<float>(x.begin() + at, x.begin() + at + piece), piece % 2 == 0, at % 16);
            out.insert(out.end(), part.begin(), part.end());
            at += piece;
        }
        expectClose(out, y, label(v, id) + " pieces", 1e-4);

        const std::vector<float> delay = delayOf(v, state);
        State* restarted = createBiquad(v, id, taps, delay.data());
        EXPECT_EQ(delayOf(v, restarted), delay);
        const std::vector<float> more = randomSignal(700, 10);
        // The same placement for both: the "II29" block kernel's peel follows
        // the output's alignment, which moves its last-bit rounding.
        EXPECT_EQ(filterOnce(v, state, more, true, 4), filterOnce(v, restarted, more, true, 4)) << label(v, id);
        ASSERT_EQ(dspsIIRSetDlyLine_32f_table[v](state, nullptr), dspStsNoErr);
        EXPECT_EQ(delayOf(v, state), std::vector<float>(delay.size(), 0.0f));
        dspsIIRFree_32f_table[v](state);
        dspsIIRFree_32f_table[v](restarted);
    }
}

// A zero a0 (or a zero b0 where the state keeps tables, and always for
// "II02") anywhere refuses the whole set and changes nothing.
TEST_P(Iir32fBiquadTest, RefusedTapsChangeNothing) {
    const int v = variant();
    for (Dsp32u id : {kIirIdBiquad32f, kIirIdBiquadBlock32f}) {
        State* state = createBiquad(v, id, floatTaps(randomStableTaps(3, 1)));
        const std::size_t size = v == 0 ? dsp_n0::iirGetStateSizeBiquad32f(3) : dsp_n1::iirGetStateSizeBiquad32f(3);
        const auto* bytes = reinterpret_cast<const unsigned char*>(state);
        const std::vector<unsigned char> before(bytes, bytes + size - 32);
        for (int index : {3, 0}) {
            std::vector<float> taps = floatTaps(randomStableTaps(3, 2));
            taps[6 * 2 + index] = 0.0f;
            const bool refused = index == 3 || id == kIirIdBiquad32f || v != 0;
            EXPECT_EQ(dspsIIRSetTaps_32f_table[v](taps.data(), state), refused ? dspStsDivByZeroErr : dspStsNoErr)
                << label(v, id) << " tap " << index;
            if (refused) {
                EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + size - 32), before) << label(v, id);
            }
        }
        dspsIIRFree_32f_table[v](state);
    }
}

INSTANTIATE_FOR_EACH_VARIANT(Iir32fBiquadTest);

// The block taps of a section: from a zero state, the input 1, 0, 0, 0 at an
// aligned output gives the impulse response h0..h3 (row 2) in one step, and
// a section with a0 = 1 keeps its taps bit for bit.
TEST(Iir32fBlockTapsTest, ImpulseResponseAndUnscaledTaps) {
    for (int v : supportedVariants()) {
        if (v == 0) continue;
        const std::vector<float> taps = {0.5f, 0.25f, -0.125f, 1.0f, -0.5f, 0.25f};
        State* state = createBiquad(v, kIirIdBiquadBlock32f, taps);
        EXPECT_EQ(std::vector<float>(state->pTaps, state->pTaps + 5),
                  (std::vector<float>{0.5f, 0.25f, -0.125f, -0.5f, 0.25f}));
        const float* R = state->pWork;
        alignas(16) float x[4] = {1, 0, 0, 0}, y[4];
        float dly[4] = {0, 0, 0, 0};
        const auto kernel = v == 1 ? dsp_n1::iirBiquadSectionBlock32f
                            : v == 2 ? dsp_n2::iirBiquadSectionBlock32f
                            : v == 3 ? dsp_n3::iirBiquadSectionBlock32f
                                     : dsp_n4::iirBiquadSectionBlock32f;
        kernel(x, y, 4, R, dly);
        // h0 = b0, h1 = b1 + A1 h0, h2 = b2 + A1 h1 + A2 h0, h3 = A1 h2 + A2 h1 (A = -a): exact here.
        const float h[4] = {0.5f, 0.5f, 0.0f, -0.125f};
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(R[8 + k], h[k]) << "n" << v << " lane " << k;
            EXPECT_EQ(y[k], h[k]) << "n" << v << " output " << k;
        }
        EXPECT_EQ(std::vector<float>(dly, dly + 4), (std::vector<float>{0, 0, h[2], h[3]}));
        dspsIIRFree_32f_table[v](state);
    }
}

}  // namespace
