// The reference model of the double-tap biquad cascade: a plain double
// transposed direct form II loop, and stable test filters.
#pragma once

#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

#include "random_signal.h"

// Caller taps (b0, b1, b2, a0, a1, a2 per section) in, normalised taps and a
// delay line in the meaning the library uses: after a sample with section
// input u and output y (previous ones u', y'), d0 = b1 u + b2 u' - a1 y - a2 y'
// and d1 = b2 u - a2 y.
class BiquadCascadeReference {
public:
    explicit BiquadCascadeReference(const std::vector<double>& callerTaps,
                                    std::vector<double> delay = {})
        : delay_(std::move(delay)) {
        setTaps(callerTaps);
        if (delay_.empty()) delay_.assign(2 * sections(), 0.0);
    }

    // Normalised as the library does: one reciprocal, five products.
    void setTaps(const std::vector<double>& callerTaps) {
        taps_.clear();
        for (std::size_t s = 0; s + 6 <= callerTaps.size(); s += 6) {
            const double c = 1.0 / callerTaps[s + 3];
            for (int i : {0, 1, 2, 4, 5}) taps_.push_back(callerTaps[s + i] * c);
        }
    }

    // One sample through every section; the output unrounded.
    double step(double x) {
        for (std::size_t s = 0; s < sections(); ++s) {
            const double* t = &taps_[5 * s];
            double* d = &delay_[2 * s];
            const double y = t[0] * x + d[0];
            d[0] = (t[1] * x + d[1]) - t[3] * y;
            d[1] = t[2] * x + (-t[4]) * y;
            x = y;
        }
        return x;
    }

    std::vector<double> run(const std::vector<float>& input) {
        std::vector<double> out;
        out.reserve(input.size());
        for (float x : input) out.push_back(step(x));
        return out;
    }

    std::size_t sections() const { return taps_.size() / 5; }
    const std::vector<double>& delay() const { return delay_; }
    const std::vector<double>& normalisedTaps() const { return taps_; }

private:
    std::vector<double> taps_;
    std::vector<double> delay_;
};

// Appends one section's six caller taps (push_back: g++ 12 warns falsely on
// vector::insert of an initializer list).
inline void appendSection(std::vector<double>& taps, std::initializer_list<double> section) {
    for (double v : section) taps.push_back(v);
}

inline std::vector<float> roundedToFloat(const std::vector<double>& y) {
    return std::vector<float>(y.begin(), y.end());
}

// Identity sections: b0 = a0 = 1, the rest 0.
inline std::vector<double> identityTaps(int sections) {
    std::vector<double> taps;
    for (int s = 0; s < sections; ++s) appendSection(taps, {1, 0, 0, 1, 0, 0});
    return taps;
}

// Stable sections with poles of radius 0.3..0.97 and a0 away from 1, so the
// normalisation and every tap matter.
inline std::vector<double> randomStableTaps(int sections, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> radius(0.3, 0.97), angle(0.05, 3.0), any(-1.0, 1.0), scale(0.5, 2.0);
    std::vector<double> taps;
    for (int s = 0; s < sections; ++s) {
        const double r = radius(random), theta = angle(random), a0 = scale(random);
        const double b0 = any(random) < 0 ? -scale(random) : scale(random);
        appendSection(taps, {b0 * a0, any(random) * a0, any(random) * a0, a0, -2 * r * std::cos(theta) * a0,
                                 r * r * a0});
    }
    return taps;
}

// A Butterworth-like high-pass at fc of `sections` second-order sections
// (bilinear transform), a0 = 1: poles close to z = 1, as in the output
// high-pass of the chain.
inline std::vector<double> highPassTaps(int sections, double fc, double fs) {
    const double pi = std::acos(-1.0);
    std::vector<double> taps;
    for (int s = 0; s < sections; ++s) {
        const double q = 1.0 / (2.0 * std::sin(pi * (2.0 * s + 1.0) / (4.0 * sections)));
        const double w = 2.0 * pi * fc / fs, alpha = std::sin(w) / (2.0 * q), cw = std::cos(w);
        const double a0 = 1.0 + alpha;
        appendSection(taps, {(1.0 + cw) / 2.0 / a0, -(1.0 + cw) / a0, (1.0 + cw) / 2.0 / a0, 1.0,
                                 -2.0 * cw / a0, (1.0 - alpha) / a0});
    }
    return taps;
}

