#include "beamformer/runtime/crossover_pair.h"

#include <algorithm>
#include <cstring>

bool vxCrossoverPair::configure(int frames, float maxDelay) {
    historyLength_ = 2 * static_cast<int>(maxDelay) + 1;
    const bool ok = lowHistory_.allocate(historyLength_) && highHistory_.allocate(historyLength_) &&
                    delayLine_.allocate(historyLength_) && difference_.allocate(frames) &&
                    alignmentScratch_.allocate(3 * (static_cast<int>(maxDelay) + 1));
    reset();
    checkedLow_ = checkedHigh_ = -1;
    return ok;
}

void vxCrossoverPair::reset() {
    dspsZero_32f(lowHistory_.data(), lowHistory_.size());
    dspsZero_32f(highHistory_.data(), highHistory_.size());
    // The stages' FIRs start from zeros too.
    keptSamples_ = historyLength_;
    asOne_ = false;
    lowBank_ = highBank_ = -1;
    highAlignmentLeft_ = 0;
}

bool vxCrossoverPair::complementary(const vxlbShadowFilter::Bank& low, const vxlbShadowFilter::Bank& high) {
    if (low.fir == nullptr || high.fir == nullptr || low.taps != high.taps ||
        low.alignment.delay() != high.alignment.delay())
        return false;
    const float* l = low.coefficients.data();
    const float* h = high.coefficients.data();
    int mismatches = 0;
    centreTap_ = -1;
    for (int t = 0; t < low.taps && mismatches < 2; ++t)
        if (h[t] != -l[t]) {
            ++mismatches;
            centreTap_ = t;
        }
    centre_ = centreTap_ >= 0 ? l[centreTap_] + h[centreTap_] : 0.0f;
    return mismatches < 2;
}

void vxCrossoverPair::keepHistory(float* history, const float* block, int frames) {
    if (frames >= historyLength_) {
        std::memcpy(history, block + frames - historyLength_, sizeof(float) * static_cast<std::size_t>(historyLength_));
        return;
    }
    const std::size_t kept = static_cast<std::size_t>(historyLength_ - frames);
    std::memmove(history, history + frames, sizeof(float) * kept);
    std::memcpy(history + kept, block, sizeof(float) * static_cast<std::size_t>(frames));
}

void vxCrossoverPair::restoreHistory(vxlbShadowFilter::Bank& bank, const float* history) {
    if (bank.fir == nullptr) return;
    for (int i = 0; i < bank.taps; ++i) delayLine_[i] = history[historyLength_ - 1 - i];
    dspsFIRSetDlyLine_32f(bank.fir, delayLine_.data());
}

void vxCrossoverPair::splitAlignments(vxlbShadowFilter::Bank& low, vxlbShadowFilter::Bank& high) {
    const int d = high.alignment.delay();
    if (d <= 0 || d != low.alignment.delay()) return;
    float* held = alignmentScratch_.data();  // low's content, then the new one
    float* highHeld = held + d;
    float* highShare = highHeld + d;
    // Pushing d zeros through a delay of d hands out all it holds and
    // leaves it empty; pushing d samples then makes them its content.
    dspsZero_32f(highShare, d);
    low.alignment.delayProcess(highShare, held, d);
    high.alignment.delayProcess(highShare, highHeld, d);
    // The high-pass FIR's outputs for the last d samples, from the kept
    // high band: y[n] = sum h[t] high[n - t], n = T - d .. T - 1 (a pair
    // runs as one only with both FIRs built).
    const float* h = high.coefficients.data();
    const float* newest = highHistory_.data() + historyLength_ - d;
    for (int j = 0; j < d; ++j) {
        float y = 0.0f;
        for (int t = 0; t < high.taps; ++t) y += h[t] * newest[j - t];
        highShare[j] = y;
        // Together the two lines held low + high-pass shares; the low-pass
        // stage keeps what is not the high-pass stage's.
        held[j] += highHeld[j] - y;
    }
    low.alignment.delayProcess(held, highHeld, d);
    high.alignment.delayProcess(highShare, highHeld, d);
}

void vxCrossoverPair::separate(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass) {
    if (!asOne_) return;
    vxlbShadowFilter::Bank& low = lowPass.banks_[lowBank_];
    vxlbShadowFilter::Bank& high = highPass.banks_[highBank_];
    splitAlignments(low, high);
    restoreHistory(low, lowHistory_.data());
    restoreHistory(high, highHistory_.data());
    asOne_ = false;
    highAlignmentLeft_ = 0;
}

void vxCrossoverPair::runApart(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass) {
    separate(lowPass, highPass);
    // The stages now see other inputs than the kept bands: the histories
    // hold theirs again only once a whole history has been kept anew.
    keptSamples_ = 0;
}

void vxCrossoverPair::runAsOne(vxlbShadowFilter::Bank& low, vxlbShadowFilter::Bank& high, const float* lowIn,
                               const float* highIn, float* out, float* temporary, int frames) {
    if (!asOne_) {
        // The low-pass FIR takes over the history of low - high.
        for (int i = 0; i < low.taps; ++i)
            delayLine_[i] = lowHistory_[historyLength_ - 1 - i] - highHistory_[historyLength_ - 1 - i];
        dspsFIRSetDlyLine_32f(low.fir, delayLine_.data());
        highAlignmentLeft_ = high.alignment.delay();
    }
    float* difference = difference_.data();
    for (int i = 0; i < frames; ++i) difference[i] = lowIn[i] - highIn[i];
    dspsFIR_32f(difference, temporary, frames, low.fir);
    if (centreTap_ >= 0) {
        // s high[n - c], the samples before this block from the kept history.
        const int c = centreTap_;
        const int fromHistory = std::min(c, frames);
        const float* past = highHistory_.data() + historyLength_ - c;
        for (int n = 0; n < fromHistory; ++n) temporary[n] += centre_ * past[n];
        for (int n = c; n < frames; ++n) temporary[n] += centre_ * highIn[n - c];
    }
    low.alignment.delayProcess(temporary, out, frames);
    if (highAlignmentLeft_ > 0) {
        // What the high-pass stage's alignment delay held when the stages
        // last ran apart.
        dspsZero_32f(temporary, frames);
        high.alignment.delayProcess(temporary, temporary, frames);
        dspsAdd_32f_I(temporary, out, frames);
        highAlignmentLeft_ = std::max(0, highAlignmentLeft_ - frames);
    }
    asOne_ = true;
}

void vxCrossoverPair::process(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass, const float* low,
                              const float* high, float* out, float* temporary, int frames) {
    const int l = lowPass.slots_.current(), h = highPass.slots_.current();
    const bool steady = l >= 0 && h >= 0 && lowPass.slots_.next() < 0 && highPass.slots_.next() < 0 &&
                        !lowPass.slots_.waiting() && !highPass.slots_.waiting();
    bool asOne = false;
    if (steady && keptSamples_ >= historyLength_) {
        vxlbShadowFilter::Bank& lowBank = lowPass.banks_[l];
        vxlbShadowFilter::Bank& highBank = highPass.banks_[h];
        if (l != checkedLow_ || h != checkedHigh_ || lowBank.builds != checkedLowBuild_ ||
            highBank.builds != checkedHighBuild_) {
            isComplementary_ = complementary(lowBank, highBank);
            checkedLow_ = l;
            checkedHigh_ = h;
            checkedLowBuild_ = lowBank.builds;
            checkedHighBuild_ = highBank.builds;
        }
        // Other banks than those that ran as one: they start from the kept
        // histories like any first block.
        if (asOne_ && (l != lowBank_ || h != highBank_)) separate(lowPass, highPass);
        asOne = isComplementary_;
        if (asOne) {
            runAsOne(lowBank, highBank, low, high, out, temporary, frames);
            lowBank_ = l;
            highBank_ = h;
        }
    }
    if (!asOne) {
        separate(lowPass, highPass);
        float* lowIn = const_cast<float*>(low);
        float* highIn = const_cast<float*>(high);
        lowPass.process(&lowIn, &out, frames);
        highPass.process(&highIn, &temporary, frames);
        dspsAdd_32f_I(temporary, out, frames);
    }
    keepHistory(lowHistory_.data(), low, frames);
    keepHistory(highHistory_.data(), high, frames);
    keptSamples_ = std::min(historyLength_, keptSamples_ + frames);
}
