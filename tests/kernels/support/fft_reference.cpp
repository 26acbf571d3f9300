#include "fft_reference.h"

#include <cmath>
#include <numbers>

namespace {

int log2Exact(std::size_t n) {
    int b = 0;
    while ((std::size_t{1} << b) < n) ++b;
    return b;
}

RefComplex unitRoot(std::size_t e, std::size_t n, int sign) {
    const double angle = 2.0 * std::numbers::pi * static_cast<double>(e) / static_cast<double>(n);
    return {std::cos(angle), sign * std::sin(angle)};
}

}  // namespace

std::vector<RefComplex> referenceDirectDft(const std::vector<RefComplex>& z, int sign) {
    const std::size_t n = z.size();
    std::vector<RefComplex> roots(n);
    for (std::size_t e = 0; e < n; ++e) roots[e] = unitRoot(e, n, sign);
    std::vector<RefComplex> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        RefComplex sum = 0.0;
        for (std::size_t j = 0; j < n; ++j) sum += z[j] * roots[(j * k) & (n - 1)];
        out[k] = sum;
    }
    return out;
}

std::vector<RefComplex> referencePlainFft(const std::vector<RefComplex>& z, int sign) {
    const std::size_t n = z.size();
    const int bits = log2Exact(n);
    std::vector<RefComplex> a(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
        a[r] = z[i];
    }
    for (std::size_t len = 2; len <= n; len *= 2)
        for (std::size_t j = 0; j < len / 2; ++j) {
            const RefComplex w = unitRoot(j, len, sign);
            for (std::size_t g = 0; g < n; g += len) {
                const RefComplex t = w * a[g + j + len / 2];
                a[g + j + len / 2] = a[g + j] - t;
                a[g + j] += t;
            }
        }
    return a;
}

std::vector<RefComplex> referenceDft(const std::vector<RefComplex>& z, int sign) {
    return z.size() <= 4096 ? referenceDirectDft(z, sign) : referencePlainFft(z, sign);
}

std::vector<RefComplex> referenceRealSpectrum(const std::vector<double>& x) {
    std::vector<RefComplex> z(x.begin(), x.end());
    std::vector<RefComplex> all = referenceDft(z, -1);
    all.resize(x.size() / 2 + 1);
    return all;
}

std::vector<double> referenceRealInverse(const std::vector<RefComplex>& bins) {
    const std::size_t n = 2 * (bins.size() - 1);
    if (n == 0) return {bins[0].real()};
    std::vector<RefComplex> full(n);
    full[0] = bins[0].real();
    full[n / 2] = bins[n / 2].real();
    for (std::size_t k = 1; k < n / 2; ++k) {
        full[k] = bins[k];
        full[n - k] = std::conj(bins[k]);
    }
    std::vector<RefComplex> z = referenceDft(full, +1);
    std::vector<double> x(n);
    for (std::size_t j = 0; j < n; ++j) x[j] = z[j].real();
    return x;
}

std::vector<double> binsToPerm(const std::vector<RefComplex>& bins) {
    const std::size_t n = 2 * (bins.size() - 1);
    if (n == 0) return {bins[0].real()};
    std::vector<double> perm(n);
    perm[0] = bins[0].real();
    perm[1] = bins[n / 2].real();
    for (std::size_t k = 1; k < n / 2; ++k) {
        perm[2 * k] = bins[k].real();
        perm[2 * k + 1] = bins[k].imag();
    }
    return perm;
}

std::vector<RefComplex> permToBins(const std::vector<float>& perm) {
    const std::size_t n = perm.size();
    if (n == 1) return {perm[0]};
    std::vector<RefComplex> bins(n / 2 + 1);
    bins[0] = perm[0];
    bins[n / 2] = perm[1];
    for (std::size_t k = 1; k < n / 2; ++k) bins[k] = {perm[2 * k], perm[2 * k + 1]};
    return bins;
}

std::vector<double> binsToCcs(const std::vector<RefComplex>& bins) {
    std::vector<double> ccs;
    for (const RefComplex& b : bins) {
        ccs.push_back(b.real());
        ccs.push_back(b.imag());
    }
    return ccs;
}

double relativeL2Error(const std::vector<float>& got, const std::vector<double>& want) {
    double diff = 0.0, norm = 0.0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const double d = static_cast<double>(got[i]) - want[i];
        diff += d * d;
        norm += want[i] * want[i];
    }
    return std::sqrt(diff / norm);
}

double maxAbsError(const std::vector<float>& got, const std::vector<double>& want) {
    double worst = 0.0;
    for (std::size_t i = 0; i < want.size(); ++i) worst = std::max(worst, std::abs(static_cast<double>(got[i]) - want[i]));
    return worst;
}

std::vector<double> toDouble(const std::vector<float>& v) { return {v.begin(), v.end()}; }
