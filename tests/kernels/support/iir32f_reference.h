// The reference model of the float-tap arbitrary-order IIR filter: the
// transposed direct form II in double from the float taps, and stable test
// filters of any order.
#pragma once

#include <cmath>
#include <random>
#include <vector>

class ArbitraryOrderReference {
public:
    // taps: b0..bN, a0..aN.
    explicit ArbitraryOrderReference(const std::vector<float>& taps, std::vector<double> delay = {})
        : order_(static_cast<int>(taps.size() / 2) - 1), delay_(std::move(delay)) {
        const double a0 = taps[order_ + 1];
        for (int i = 0; i <= order_; ++i) b_.push_back(taps[i] / a0);
        for (int i = 0; i <= order_; ++i) a_.push_back(taps[order_ + 1 + i] / a0);
        if (delay_.empty()) delay_.assign(order_, 0.0);
        delay_.push_back(0.0);  // the value beyond the last
    }

    double step(double x) {
        const double y = b_[0] * x + delay_[0];
        for (int j = 0; j < order_; ++j) delay_[j] = b_[j + 1] * x - a_[j + 1] * y + delay_[j + 1];
        return y;
    }

    std::vector<double> run(const std::vector<float>& x) {
        std::vector<double> y;
        for (float v : x) y.push_back(step(v));
        return y;
    }

    std::vector<double> delay() const { return {delay_.begin(), delay_.end() - 1}; }

private:
    int order_;
    std::vector<double> b_, a_, delay_;
};

// Numerator and denominator of order N from sections with poles of radius
// up to 0.8 (and one real pole for odd N), a0 away from 1; as floats.
inline std::vector<float> randomArbitraryTaps(int order, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> radius(0.2, 0.8), angle(0.1, 3.0), any(-1.0, 1.0), scale(0.5, 2.0);
    std::vector<double> a = {1.0};
    const auto multiply = [&](std::vector<double> factor) {
        std::vector<double> product(a.size() + factor.size() - 1, 0.0);
        for (std::size_t i = 0; i < a.size(); ++i)
            for (std::size_t j = 0; j < factor.size(); ++j) product[i + j] += a[i] * factor[j];
        a = product;
    };
    for (int k = 0; k + 2 <= order; k += 2) {
        const double r = radius(random), theta = angle(random);
        multiply({1.0, -2 * r * std::cos(theta), r * r});
    }
    if (order % 2 == 1) multiply({1.0, any(random) * 0.8});
    const double a0 = scale(random);
    std::vector<float> taps;
    for (int i = 0; i <= order; ++i) taps.push_back(static_cast<float>(any(random) * a0));
    taps[0] = static_cast<float>(a0);  // b0 non-zero
    for (double v : a) taps.push_back(static_cast<float>(v * a0));
    return taps;
}
