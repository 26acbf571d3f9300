#include "beamformer/runtime/crossover_pair.h"

#include <algorithm>
#include <cstring>

bool vxCrossoverPair::configure(int frames, float maxDelay) {
    historyLength_ = 2 * static_cast<int>(maxDelay) + 1;
    const bool ok = lowHistory_.allocate(historyLength_) && highHistory_.allocate(historyLength_) &&
                    delayLine_.allocate(historyLength_) && difference_.allocate(frames);
    reset();
    checkedLow_ = checkedHigh_ = -1;
    return ok;
}

void vxCrossoverPair::reset() {
    dspsZero_32f(lowHistory_.data(), lowHistory_.size());
    dspsZero_32f(highHistory_.data(), highHistory_.size());
    // The stages' FIRs start from zeros too.
    historyKept_ = true;
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

void vxCrossoverPair::separate(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass) {
    if (!asOne_) return;
    restoreHistory(lowPass.banks_[lowBank_], lowHistory_.data());
    restoreHistory(highPass.banks_[highBank_], highHistory_.data());
    asOne_ = false;
    highAlignmentLeft_ = 0;
}

void vxCrossoverPair::runApart(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass) {
    separate(lowPass, highPass);
    // The stages now see other inputs than the kept bands.
    historyKept_ = false;
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
    if (steady && historyKept_) {
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
    historyKept_ = true;
}
