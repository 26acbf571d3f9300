#include "beamformer/runtime/modal_beamformer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "beamformer/runtime/components.h"
#include "beamformer_tables.h"

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
    bool ok = currentOut_.allocate(frames) && nextOut_.allocate(frames) && temporary_[0].allocate(frames) &&
              temporary_[1].allocate(frames) && theta_.samples.allocate(frames) && phi_.samples.allocate(frames) &&
              fade_.configure(out.sampleRate(), kFadeTimeConstantMs);
    for (auto& sum : orderSums_) ok = ok && sum.allocate(frames);
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
    const int delay = static_cast<int>(latency);
    int bytes = 0;
    if (dspsFIRGetStateSize_32f(2 * delay + 1, &bytes) != dspStsNoErr) return vxErrAllocation;
    for (Bank& bank : banks_)
        for (int k = 0; k < kOrders; ++k) {
            bank.firs[k] = nullptr;
            if (!bank.stateBuffers[k].allocate(bytes) || bank.alignments[k].reserve(delay) != 0) return vxErrAllocation;
        }
    return vxOK;
}

int CMbf::loadFilters(const int* tapCounts, const float* const* taps) {
    if (order_ + 1 < kOrders || banks_[0].stateBuffers[0].empty()) return kNotSixteenComponents;
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
        bank.firs[k] = nullptr;
        int alignment = delay;
        if (count > 0) {
            alignment = delay - (count - 1) / 2;
            if (alignment < 0) return kNegativeAlignment;
            if (dspsFIRInit_32f(&bank.firs[k], taps[k], count, nullptr, bank.stateBuffers[k].data()) != dspStsNoErr) {
                bank.firs[k] = nullptr;
                return kTooLong;
            }
            bank.tapMax = std::max(bank.tapMax, count);
        }
        bank.alignments[k].setDelay(alignment);  // within the capacity setLatency reserved
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

void CMbf::glideTheta(int target, int frames) {
    Glide& g = theta_;
    for (int i = 0; i < frames; ++i) {
        if (g.stepsLeft == 0) {
            if (g.current == target) {
                for (int k = 0; k < kComponents; ++k) weights_[k][i] = tables::kElevationTable[k][g.current];
                g.samples[i] = g.current;
                continue;
            }
            g.direction = target > g.current ? 1 : -1;
            for (int k = 0; k < kComponents; ++k) {
                g.start[k] = tables::kElevationTable[k][g.current];
                g.increment[k] = (tables::kElevationTable[k][g.current + g.direction] - g.start[k]) * 0.01f;
                g.sum[k] = 0.0f;
            }
            g.stepsLeft = kStepLength;
        }
        for (int k = 0; k < kComponents; ++k) {
            g.sum[k] += g.increment[k];
            weights_[k][i] = g.start[k] + g.sum[k];
        }
        if (--g.stepsLeft == 0) g.current += g.direction;
        g.samples[i] = g.current;
    }
}

void CMbf::glidePhi(int target, int frames) {
    Glide& g = phi_;
    const int rows = 2 * order_;
    for (int i = 0; i < frames; ++i) {
        if (g.stepsLeft == 0) {
            if (g.current == target) {
                for (int r = 0; r < rows; ++r) azimuthFactors_[r][i] = tables::kAzimuthTable[r][g.current];
                g.samples[i] = g.current;
                continue;
            }
            // The short way round; exactly 180 degrees goes upward.
            g.direction = target > g.current ? 1 : -1;
            if (std::abs(target - g.current) > 180) g.direction = -g.direction;
            const int nextColumn = (g.current + g.direction + 360) % 360;
            for (int r = 0; r < rows; ++r) {
                g.start[r] = tables::kAzimuthTable[r][g.current];
                g.increment[r] = (tables::kAzimuthTable[r][nextColumn] - g.start[r]) * 0.01f;
                g.sum[r] = 0.0f;
            }
            g.stepsLeft = kStepLength;
        }
        for (int r = 0; r < rows; ++r) {
            g.sum[r] += g.increment[r];
            azimuthFactors_[r][i] = g.start[r] + g.sum[r];
        }
        if (--g.stepsLeft == 0) g.current = (g.current + g.direction + 360) % 360;
        g.samples[i] = g.current;
    }
}

void CMbf::runBank(int b, float* out, int frames) {
    Bank& bank = banks_[b];
    dspsZero_32f(out, frames);
    for (int n = 0; n <= order_; ++n) {
        if (bank.firs[n] == nullptr) continue;
        dspsFIR_32f(orderSums_[n].data(), temporary_[0].data(), frames, bank.firs[n]);
        bank.alignments[n].delayProcess(temporary_[0].data(), temporary_[1].data(), frames);
        dspsAdd_32f_I(temporary_[1].data(), out, frames);
    }
}

vxResult CMbf::process(float** components, float** out, int frames) {
    if (frames == 0) return kNoFrames;
    if (slots_.takeWaiting()) fade_.restart();
    glideTheta(thetaTarget_.load(std::memory_order_relaxed), frames);
    glidePhi(phiTarget_.load(std::memory_order_relaxed), frames);

    for (int n = 0; n <= order_; ++n) {
        float* sum = orderSums_[n].data();
        dspsZero_32f(sum, frames);
        for (int m = -n; m <= n; ++m) {
            const int k = n * n + n + m;
            if (m != 0) dspsMul_32f_I(azimuthFactors_[azimuthRow(m)].data(), weights_[k].data(), frames);
            dspsAddProduct_32f(components[k], weights_[k].data(), sum, frames);
        }
    }

    const int current = slots_.current(), next = slots_.next();
    if (current < 0) {
        dspsZero_32f(out[0], frames);
        return vxOK;
    }
    runBank(current, currentOut_.data(), frames);
    if (next < 0) {
        dspsCopy_32f(currentOut_.data(), out[0], frames);
        return vxOK;
    }
    runBank(next, nextOut_.data(), frames);
    if (fade_.mix(currentOut_.data(), nextOut_.data(), out[0], frames, banks_[next].tapMax)) slots_.finishFade();
    return vxOK;
}

vxResult CMbf::start() {
    slots_.promoteAtStart();
    fade_.restart();
    theta_.current = thetaTarget_.load(std::memory_order_relaxed);
    phi_.current = phiTarget_.load(std::memory_order_relaxed);
    theta_.stepsLeft = phi_.stepsLeft = 0;
    return vxAudioClass::start();
}

vxResult CMbf::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}

void CMbf::reset() {
    const int current = slots_.current();
    if (current < 0) return;
    for (int k = 0; k < kOrders; ++k) {
        if (banks_[current].firs[k] != nullptr) dspsFIRSetDlyLine_32f(banks_[current].firs[k], nullptr);
        banks_[current].alignments[k].clear();
    }
}
