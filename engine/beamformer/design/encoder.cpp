#include "beamformer/design/encoder.h"

#include <cmath>
#include <numbers>

namespace orvelan::design {

namespace {
// Relative Tikhonov term: keeps the inverse defined without changing the
// well-conditioned 32-point solution by more than about 1e-8.
constexpr double kRelativeRegularisation = 1e-8;
}  // namespace

double encoderScale() { return 1.0 / std::sqrt(4.0 * std::numbers::pi); }

Matrix<double> capsuleSteeringMatrix()
{
    Matrix<double> w(kCapsuleCount, kComponentCount);
    for (int c = 0; c < kCapsuleCount; ++c) {
        const ComponentVector h = steeringWeights(capsuleDirections()[c]);
        for (int k = 0; k < kComponentCount; ++k) w(c, k) = h[k];
    }
    return w;
}

Matrix<double> designEncoderMatrix()
{
    const Matrix<double> w = capsuleSteeringMatrix();
    const Matrix<double> wt = adjoint(w);
    Matrix<double> gram = wt * w;
    double trace = 0;
    for (int k = 0; k < kComponentCount; ++k) trace += gram(k, k);
    for (int k = 0; k < kComponentCount; ++k) gram(k, k) += kRelativeRegularisation * trace / kComponentCount;
    Matrix<double> e = choleskySolve(gram, wt);
    // Row 0 is the same for every capsule (the capsule set integrates the
    // harmonics of orders 1..3 to zero); scale it to exactly 1/(32 sqrt(4 pi)).
    const double scale = encoderScale() / (kCapsuleCount * e(0, 0));
    for (int k = 0; k < kComponentCount; ++k)
        for (int c = 0; c < kCapsuleCount; ++c) e(k, c) *= scale;
    return e;
}

}  // namespace orvelan::design
