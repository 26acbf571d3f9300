#include "beamformer/design/triangle_correction.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/fft.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/modal_design.h"
#include "beamformer/design/rigid_sphere.h"

namespace orvelan::design {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDbPerNeper = 20.0 / std::numbers::ln10;
// The correction never boosts or cuts more than this, whatever the shape asks
// for near the top of the band.
constexpr double kLimitDb = 9.0;

std::vector<double> logSpaced(double from, double to, int count)
{
    std::vector<double> hz(count);
    for (int i = 0; i < count; ++i) hz[i] = from * std::pow(to / from, double(i) / double(count - 1));
    return hz;
}

struct Sphere {
    std::vector<double> hz;
    std::vector<std::vector<Complex>> modes;
    explicit Sphere(std::vector<double> frequencies) : hz(std::move(frequencies))
    {
        for (double f : hz) modes.push_back(rigidSphereModes(seriesOrderFor(sphereKr(f)), sphereKr(f)));
    }
    // Level of the mean of the capsules at the given cosines off the wave.
    double meanDb(const std::vector<double>& cosines, std::size_t f) const
    {
        Complex sum = 0.0;
        for (double x : cosines) sum += surfacePressure(x, modes[f]);
        return 20.0 * std::log10(std::abs(sum) / double(cosines.size()));
    }
};

// What the triangle mean loses on the axis against the triangle's centre,
// as one shape over frequency (dB at `hz`) scaled per look: the best rank-one
// fit over the looks spread across a triangle, its scale 1 at the look that
// loses most.
std::vector<double> lossShapeDb(const Sphere& sphere)
{
    const auto& looks = cellCosinesAcrossLooks(2);
    const auto& centre = cellCentreCosines(2)[0];
    const std::size_t frequencies = sphere.hz.size();
    std::vector<std::vector<double>> loss(looks.size(), std::vector<double>(frequencies));
    for (std::size_t f = 0; f < frequencies; ++f) {
        const double reference = sphere.meanDb(centre, f);
        for (std::size_t u = 0; u < looks.size(); ++u) loss[u][f] = sphere.meanDb(looks[u], f) - reference;
    }
    std::vector<double> shape(frequencies, 1.0), scale(looks.size());
    for (int iteration = 0; iteration < 50; ++iteration) {
        for (std::size_t u = 0; u < looks.size(); ++u) {
            scale[u] = 0.0;
            for (std::size_t f = 0; f < frequencies; ++f) scale[u] += loss[u][f] * shape[f];
        }
        const double largest = *std::max_element(scale.begin(), scale.end(),
                                                 [](double a, double b) { return std::abs(a) < std::abs(b); });
        double norm = 0.0;
        for (double& s : scale) {
            s /= largest;
            norm += s * s;
        }
        for (std::size_t f = 0; f < frequencies; ++f) {
            shape[f] = 0.0;
            for (std::size_t u = 0; u < looks.size(); ++u) shape[f] += loss[u][f] * scale[u];
            shape[f] /= norm;
        }
    }
    return shape;
}

// The minimum-phase filter whose level is minus the loss shape (cepstral
// method), shortened with a half-cosine taper over its second half.
std::vector<double> cornerCorrection()
{
    const Sphere sphere(logSpaced(100.0, 16000.0, 140));
    const std::vector<double> shape = lossShapeDb(sphere);
    auto shapeAt = [&](double hz) {
        if (hz <= sphere.hz.front()) return 0.0;
        if (hz >= sphere.hz.back()) return shape.back();
        const std::size_t k = std::upper_bound(sphere.hz.begin(), sphere.hz.end(), hz) - sphere.hz.begin();
        const double a = (hz - sphere.hz[k - 1]) / (sphere.hz[k] - sphere.hz[k - 1]);
        return shape[k - 1] * (1.0 - a) + shape[k] * a;
    };
    constexpr int kPoints = 4096;
    std::vector<Complex> spectrum(kPoints);
    for (int k = 0; k < kPoints; ++k) {
        const double hz = std::min(k, kPoints - k) * kDesignRate / kPoints;
        spectrum[k] = std::clamp(-shapeAt(hz), -kLimitDb, kLimitDb) / kDbPerNeper;
    }
    fft(spectrum, true);  // the real cepstrum of the level
    for (int k = 1; k < kPoints / 2; ++k) {
        spectrum[k] *= 2.0;
        spectrum[kPoints - k] = 0.0;
    }
    fft(spectrum, false);
    for (Complex& s : spectrum) s = std::exp(s);
    fft(spectrum, true);
    constexpr int kLength = kTriangleCorrectionLength, kHalf = kLength / 2;
    std::vector<double> taps(kLength);
    for (int k = 0; k < kLength; ++k) {
        const double taper = k < kHalf ? 1.0 : 0.5 + 0.5 * std::cos(kPi * (k - kHalf) / kHalf);
        taps[k] = spectrum[k].real() * taper;
    }
    return taps;
}

// What the weight is fitted on: the band where the HF path carries the beam.
struct WeightFit {
    Sphere sphere{logSpaced(2000.0, 13000.0, 30)};
    std::vector<double> centreDb;
    std::vector<Complex> correction;  // the taps' response
    WeightFit()
    {
        for (std::size_t f = 0; f < sphere.hz.size(); ++f) {
            centreDb.push_back(sphere.meanDb(cellCentreCosines(2)[0], f));
            correction.push_back(firResponse(triangleCorrectionTaps(), sphere.hz[f]));
        }
    }
};

const WeightFit& weightFit()
{
    static const WeightFit fit;
    return fit;
}

}  // namespace

const std::vector<double>& triangleCorrectionTaps()
{
    static const std::vector<double> taps = [] {
        std::vector<double> t = cornerCorrection();
        t[0] -= 1.0;
        return t;
    }();
    return taps;
}

double triangleCorrectionWeight(const std::vector<double>& cosines)
{
    // Least squares in dB over the band, by Gauss-Newton from no correction.
    const WeightFit& fit = weightFit();
    std::vector<double> loss(fit.sphere.hz.size());
    for (std::size_t f = 0; f < loss.size(); ++f) loss[f] = fit.sphere.meanDb(cosines, f) - fit.centreDb[f];
    double weight = 0.0;
    for (int iteration = 0; iteration < 8; ++iteration) {
        double gradient = 0.0, curvature = 0.0;
        for (std::size_t f = 0; f < loss.size(); ++f) {
            const Complex d = fit.correction[f];
            const Complex g = 1.0 + weight * d;
            const double residual = loss[f] + 20.0 * std::log10(std::abs(g));
            const double slope = kDbPerNeper * (std::conj(g) * d).real() / std::norm(g);
            gradient += residual * slope;
            curvature += slope * slope;
        }
        weight = std::clamp(weight - gradient / curvature, -1.0, 2.0);
    }
    return weight;
}

std::complex<double> triangleCorrection(double weight, double hz)
{
    return 1.0 + weight * firResponse(triangleCorrectionTaps(), hz);
}

std::vector<double> triangleCorrectionWeightGrid()
{
    const std::vector<std::int32_t> triangles = triangleGrid();
    const auto& capsules = capsuleVectors();
    std::vector<double> grid(kGridRows * kGridColumns);
    std::vector<double> cosines(3);
    for (int theta = 0; theta < kGridRows; ++theta)
        for (int phi = 0; phi < kGridColumns; ++phi) {
            const int index = theta * kGridColumns + phi;
            const Vec3 look = unitVector({double(theta), double(phi)});
            for (int c = 0; c < 3; ++c) cosines[c] = dot(look, capsules[capsuleTriangles()[triangles[index]][c]]);
            grid[index] = triangleCorrectionWeight(cosines);
        }
    return grid;
}

}  // namespace orvelan::design
