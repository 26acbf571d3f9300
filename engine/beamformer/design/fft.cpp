#include "beamformer/design/fft.h"

#include <numbers>
#include <stdexcept>
#include <utility>

namespace orvelan::design {

void fft(std::vector<std::complex<double>>& data, bool inverse)
{
    const std::size_t n = data.size();
    if (n == 0 || (n & (n - 1)) != 0) throw std::invalid_argument("fft: length must be a power of two");
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(data[i], data[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2.0 * std::numbers::pi / double(len) * (inverse ? 1.0 : -1.0);
        const std::complex<double> step = std::polar(1.0, angle);
        for (std::size_t start = 0; start < n; start += len) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> a = data[start + k];
                const std::complex<double> b = data[start + k + len / 2] * w;
                data[start + k] = a + b;
                data[start + k + len / 2] = a - b;
                w *= step;
            }
        }
    }
    if (inverse)
        for (auto& v : data) v /= double(n);
}

}  // namespace orvelan::design
