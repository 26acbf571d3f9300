#include "beamformer/runtime/modal_beamformer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "beamformer/runtime/block_fade.h"
#include "beamformer/runtime/components.h"
#include "dsp/weighted_sum.h"
#include "beamformer/tables/beamformer_tables.h"

namespace {

namespace tables = orvelan::beamformer::tables;

constexpr int kNotSixteenComponents = 101;
constexpr int kTooLong = 102;
constexpr int kNegativeAlignment = 103;
constexpr int kNegativeLatency = 19;
constexpr int kNoFrames = 6;


// The azimuth row that steers degree m (m != 0): 2 cos(m p) for m > 0,
// 2 sin(|m| p) for m < 0.
int azimuthRow(int m) { return m > 0 ? 2 * m - 1 : -2 * m - 2; }

}  // namespace

vxResult CMbf::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    if (!in.isTimeDomain() || !out.isTimeDomain() || !in.isReal() || !out.isReal() || out.channels() != 1 ||
        in.sampleRate() != out.sampleRate() || in.framesPerBuffer() != out.framesPerBuffer() ||
        orvelan::beamformer::highestOrderFor(in.channels()) < 0)
        return vxErrFormat;
    order_ = orvelan::beamformer::highestOrderFor(in.channels());
    vxAudioClass::configure(in, out);
    const int frames = out.framesPerBuffer();
    bool ok = currentOut_.allocate(frames) && nextOut_.allocate(frames) && theta_.samples.allocate(frames) &&
              phi_.samples.allocate(frames) && fade_.configure(out.sampleRate(), kFadeTimeConstantMs);
    for (auto& w : weights_) ok = ok && w.allocate(frames);
    for (auto& a : azimuthFactors_) ok = ok && a.allocate(frames);
    if (!ok) return vxErrAllocation;
    return setLatency(latency_);
}

int CMbf::setLatency(float latency) {
    if (isRunning()) return vxErrRunning;
    if (!(latency >= 0.0f)) return kNegativeLatency;
    latency_ = latency;
    slots_.clear();
    const int frames = outputFormat().framesPerBuffer();
    if (frames <= 0) return vxOK;  // set up by configure
    // An order's FIR of up to 2 trunc(L) + 1 taps after its alignment delay
    // is never longer than that either.
    if (!convolution_.configure(frames, 2 * static_cast<int>(latency) + 1)) return vxErrAllocation;
    const int n = convolution_.length();
    bool ok = bankSums_[0].allocate(n) && bankSums_[1].allocate(n);
    for (int k = 0; k < kOrders; ++k) ok = ok && windows_[k].allocate(n) && orderSpectra_[k].allocate(n);
    for (Bank& bank : banks_)
        for (int k = 0; k < kOrders; ++k) {
            bank.filtered[k] = false;
            ok = ok && bank.spectra[k].allocate(n);
        }
    steadySamples_ = 0;
    windowsCurrent_ = true;
    if (!ok) {
        convolution_.release();
        return vxErrAllocation;
    }
    return vxOK;
}

int CMbf::loadFilters(const int* tapCounts, const float* const* taps) {
    if (order_ + 1 < kOrders || convolution_.length() == 0) return kNotSixteenComponents;
    const int delay = static_cast<int>(latency_);
    for (int k = 0; k < kOrders; ++k) {
        const int count = tapCounts != nullptr ? tapCounts[k] : 0;
        if (count > 2 * delay + 1) return kTooLong;
        if (count > 0 && (taps == nullptr || taps[k] == nullptr)) return vxErrBadArgument;
    }
    const bool running = isRunning();
    const int b = slots_.bankForLoad(running);
    Bank& bank = banks_[b];
    bank.tapMax = 0;
    for (int k = 0; k < kOrders; ++k) {
        const int count = tapCounts != nullptr ? tapCounts[k] : 0;
        bank.filtered[k] = false;
        if (count <= 0) continue;  // the order is silent
        const int alignment = delay - (count - 1) / 2;
        if (alignment < 0) return kNegativeAlignment;
        convolution_.filterSpectrum(taps[k], count, alignment, bank.spectra[k].data());
        bank.filtered[k] = true;
        bank.tapMax = std::max(bank.tapMax, count);
    }
    slots_.publish(b, running);
    return 0;
}

void CMbf::setTheta(float degrees) {
    thetaAsSet_.store(degrees, std::memory_order_relaxed);
    thetaTarget_.store(std::clamp(static_cast<int>(degrees), 0, 180), std::memory_order_relaxed);
}

void CMbf::setPhi(float degrees) {
    phiAsSet_.store(degrees, std::memory_order_relaxed);
    int p = static_cast<int>(degrees) % 360;
    if (p < 0) p += 360;
    phiTarget_.store(p, std::memory_order_relaxed);
}

// One block of a glide over `rows` table rows. Runs of samples rather than
// single samples: a held look fills each row with its column's value; a
// one-degree step gives sample s (1..100) of the step start + s x increment,
// the straight line between the two columns, one row at a time.
template <class Column, class NextColumn>
void CMbf::glide(Glide& g, int target, int rows, vxKernelArray<float>* weights, int frames, Column column,
                 NextColumn nextColumn) {
    for (int i = 0; i < frames;) {
        if (g.stepsLeft == 0) {
            if (g.current == target) {
                for (int r = 0; r < rows; ++r) std::fill(weights[r].begin() + i, weights[r].begin() + frames, column(r, g.current));
                std::fill(g.samples.begin() + i, g.samples.begin() + frames, g.current);
                return;
            }
            // A target changed during a step takes effect at the next one.
            g.stepEnd = nextColumn(g.current, target);
            for (int r = 0; r < rows; ++r) {
                g.start[r] = column(r, g.current);
                g.increment[r] = (column(r, g.stepEnd) - g.start[r]) * 0.01f;
            }
            g.stepsLeft = kStepLength;
        }
        const int run = std::min(g.stepsLeft, frames - i);
        const int done = kStepLength - g.stepsLeft;
        for (int r = 0; r < rows; ++r) {
            float* w = weights[r].data() + i;
            const float start = g.start[r], increment = g.increment[r];
            for (int s = 0; s < run; ++s) w[s] = start + static_cast<float>(done + s + 1) * increment;
        }
        std::fill(g.samples.begin() + i, g.samples.begin() + i + run, g.current);
        g.stepsLeft -= run;
        i += run;
        if (g.stepsLeft == 0) {
            g.current = g.stepEnd;
            g.samples[i - 1] = g.current;
        }
    }
}

void CMbf::glideTheta(int target, int frames) {
    glide(
        theta_, target, kComponents, weights_, frames, [](int r, int t) { return tables::kElevationTable[r][t]; },
        [](int current, int goal) { return goal > current ? current + 1 : current - 1; });
}

void CMbf::glidePhi(int target, int frames) {
    // The short way round; exactly 180 degrees goes upward.
    glide(
        phi_, target, 2 * order_, azimuthFactors_, frames, [](int r, int p) { return tables::kAzimuthTable[r][p]; },
        [](int current, int goal) {
            int direction = goal > current ? 1 : -1;
            if (std::abs(goal - current) > 180) direction = -direction;
            return (current + direction + 360) % 360;
        });
}

bool CMbf::steady(int thetaTarget, int phiTarget) const {
    return theta_.stepsLeft == 0 && phi_.stepsLeft == 0 && theta_.current == thetaTarget &&
           phi_.current == phiTarget;
}

void CMbf::steadyWeights(float* weights) const {
    for (int n = 0; n <= order_; ++n)
        for (int m = -n; m <= n; ++m) {
            const int k = n * n + n + m;
            float w = tables::kElevationTable[k][theta_.current];
            if (m != 0) w *= tables::kAzimuthTable[azimuthRow(m)][phi_.current];
            weights[k] = w;
        }
}

void CMbf::holdAngles(int frames) {
    std::fill_n(theta_.samples.data(), frames, theta_.current);
    std::fill_n(phi_.samples.data(), frames, phi_.current);
}

// The look stays where it is for the whole block: every weight is one
// number, the elevation entry times the azimuth factor as in the glide.
void CMbf::steadyOrderSums(float* const* components, int frames) {
    holdAngles(frames);
    float weights[kComponents];
    steadyWeights(weights);
    for (int n = 0; n <= order_; ++n)
        orvelan::beamformer::weightedSum(components + n * n, weights + n * n, 2 * n + 1,
                                         convolution_.newSamples(windows_[n].data(), frames), frames);
}

// The shared windows already hold this block's samples at their end; the
// order sums' windows get everything before them, summed with the weights
// of the look that held until now, as though they had been kept all along.
void CMbf::rebuildWindows(const vxComponentSpectra* shared, int frames) {
    const int history = convolution_.length() - frames;
    if (shared == nullptr || shared->length() != convolution_.length()) {
        for (int n = 0; n <= order_; ++n) dspsZero_32f(windows_[n].data(), history);
        return;
    }
    float weights[kComponents];
    steadyWeights(weights);
    for (int n = 0; n <= order_; ++n)
        orvelan::beamformer::weightedSum(shared->windows() + n * n, weights + n * n, 2 * n + 1, windows_[n].data(),
                                         history);
}

void CMbf::glidingOrderSums(float* const* components, int frames) {
    for (int n = 0; n <= order_; ++n) {
        float* sum = convolution_.newSamples(windows_[n].data(), frames);
        dspsZero_32f(sum, frames);
        for (int m = -n; m <= n; ++m) {
            const int k = n * n + n + m;
            if (m != 0) dspsMul_32f_I(azimuthFactors_[azimuthRow(m)].data(), weights_[k].data(), frames);
            dspsAddProduct_32f(components[k], weights_[k].data(), sum, frames);
        }
    }
}

// The banks to run this block and the accumulation that filters the order
// sums' spectra with them; a bank without filters gives silence at once.
void CMbf::prepareBanks(float* out, int frames) {
    Pending& p = pending_;
    const int current = slots_.current(), next = slots_.next();
    const int banks[] = {current, next};
    p.count = next < 0 ? 1 : 2;
    p.out = out;
    p.frames = frames;
    p.outs[0] = next < 0 ? out : currentOut_.data();
    p.outs[1] = nextOut_.data();
    const int orders = order_ + 1;
    p.used = 0;
    for (int i = 0; i < p.count; ++i) {
        const Bank& bank = banks_[banks[i]];
        bool any = false;
        for (int n = 0; n < orders; ++n) {
            p.filters[p.used * orders + n] = bank.filtered[n] ? bank.spectra[n].data() : nullptr;
            any = any || bank.filtered[n];
        }
        if (!any) {
            dspsZero_32f(p.outs[i], frames);
            continue;
        }
        p.sums[p.used] = bankSums_[p.used].data();
        p.filtered[p.used++] = p.outs[i];
    }
    p.accumulation = {p.filters, p.used, p.signals, orders, p.sums};
}

vxResult CMbf::process(float** components, float** out, int frames) {
    return run(components, nullptr, out != nullptr ? out[0] : nullptr, frames);
}

vxResult CMbf::process(float** components, vxComponentSpectra& shared, float* out, int frames) {
    return run(components, &shared, out, frames);
}

vxResult CMbf::run(float** components, vxComponentSpectra* shared, float* out, int frames) {
    const vxResult r = begin(components, shared, out, frames);
    if (r != vxOK || !pending_.waiting) return r;
    if (pending_.used > 0) convolution_.accumulate(&pending_.accumulation, 1);
    finish();
    return vxOK;
}

vxResult CMbf::beginShared(float** components, vxComponentSpectra& shared, float* out, int frames) {
    return begin(components, &shared, out, frames);
}

const vxOverlapSave::Accumulation* CMbf::pendingAccumulation() const {
    return pending_.waiting && pending_.used > 0 ? &pending_.accumulation : nullptr;
}

void CMbf::finish() {
    if (!pending_.waiting) return;
    Pending& p = pending_;
    p.waiting = false;
    for (int i = 0; i < p.used; ++i) convolution_.synthesise(p.sums[i], p.filtered[i], p.frames);
    if (p.count == 2 && fade_.mix(p.outs[0], p.outs[1], p.out, p.frames, banks_[slots_.next()].tapMax))
        slots_.finishFade();
}

vxResult CMbf::begin(float** components, vxComponentSpectra* shared, float* out, int frames) {
    pending_.waiting = false;
    if (frames == 0) return kNoFrames;
    // Longer blocks than configured would overrun the windows.
    if (frames < 0 || frames > outputFormat().framesPerBuffer() || convolution_.length() == 0) return kNoFrames;
    if (slots_.takeWaiting()) fade_.restart();
    const int thetaTarget = thetaTarget_.load(std::memory_order_relaxed);
    const int phiTarget = phiTarget_.load(std::memory_order_relaxed);
    const int length = convolution_.length();
    const bool held = steady(thetaTarget, phiTarget);
    // The shared spectra serve once the order sums' whole window was formed
    // with the held look's weights: the two ways then give the same spectra.
    const bool fromShared = held && !fadingIn_ && steadySamples_ >= length && shared != nullptr &&
                            shared->spectraOffered() &&
                            shared->length() == length &&
                            shared->components() == (order_ + 1) * (order_ + 1);
    if (fromShared) {
        holdAngles(frames);
        windowsCurrent_ = false;
    } else {
        if (windowsCurrent_)
            for (int n = 0; n <= order_; ++n) convolution_.slide(windows_[n].data(), frames);
        else
            rebuildWindows(shared, frames);
        windowsCurrent_ = true;
        if (held) {
            steadyOrderSums(components, frames);
            steadySamples_ = std::min(steadySamples_ + frames, length);
        } else {
            glideTheta(thetaTarget, frames);
            glidePhi(phiTarget, frames);
            glidingOrderSums(components, frames);
            steadySamples_ = 0;
        }
        if (fadingIn_) {
            for (int n = 0; n <= order_; ++n)
                orvelan::beamformer::fadeAcrossBlock(convolution_.newSamples(windows_[n].data(), frames), frames,
                                                     orvelan::beamformer::Fade::kIn);
            // Faded samples are no held look's order sums: the shared
            // spectra serve again once they have left the window.
            steadySamples_ = 0;
            fadingIn_ = false;
        }
    }

    if (slots_.current() < 0) {
        dspsZero_32f(out, frames);
        return vxOK;
    }
    // Each order sum's spectrum: formed from the shared components' spectra
    // with the held look's weights as the banks take it (a transform is
    // linear), or the transform of the own order sum.
    static constexpr float kUnit = 1.0f;
    Pending& p = pending_;
    if (fromShared) {
        steadyWeights(p.weights);
        const float* const* spectra = shared->spectra();
        for (int n = 0; n <= order_; ++n) p.signals[n] = {spectra + n * n, p.weights + n * n, 2 * n + 1};
    } else {
        for (int n = 0; n <= order_; ++n) {
            convolution_.analyse(windows_[n].data(), orderSpectra_[n].data());
            p.own[n] = orderSpectra_[n].data();
            p.signals[n] = {p.own + n, &kUnit, 1};
        }
    }
    prepareBanks(out, frames);
    p.waiting = true;
    return vxOK;
}

vxResult CMbf::start() {
    slots_.promoteAtStart();
    fade_.restart();
    theta_.current = thetaTarget_.load(std::memory_order_relaxed);
    phi_.current = phiTarget_.load(std::memory_order_relaxed);
    theta_.stepsLeft = phi_.stepsLeft = 0;
    steadySamples_ = 0;
    return vxAudioClass::start();
}

vxResult CMbf::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}

void CMbf::reset() {
    for (auto& window : windows_) dspsZero_32f(window.data(), window.size());
    steadySamples_ = 0;
    windowsCurrent_ = true;
    fadingIn_ = false;
}

void CMbf::fadeIn() {
    reset();
    theta_.current = thetaTarget_.load(std::memory_order_relaxed);
    phi_.current = phiTarget_.load(std::memory_order_relaxed);
    theta_.stepsLeft = phi_.stepsLeft = 0;
    fadingIn_ = true;
}
